#include "support/full_device.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace velto::test {

namespace {
constexpr const char* kSystemFull = "/dev/full";
}

QString fullDeviceIn(const QString& folder)
{
    struct stat system { };
    if (::stat(kSystemFull, &system) != 0 || !S_ISCHR(system.st_mode))
        return {};
    const QString copy = QDir(folder).filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(copy).constData(), S_IFCHR | 0666, system.st_rdev) == 0)
        return copy;
    return QString::fromLatin1(kSystemFull);
}

bool isDevice(const QString& path)
{
    struct stat s { };
    return ::stat(QFile::encodeName(path).constData(), &s) == 0 && S_ISCHR(s.st_mode);
}

} // namespace velto::test
