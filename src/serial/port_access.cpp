#include "serial/port_access.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velto::serial {

#ifdef Q_OS_UNIX
namespace {

// The group that grants read and write on the device, when it is not root's own; else the usual one.
QString groupToJoin(const struct stat& device)
{
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if (device.st_gid != 0 && (device.st_mode & kGroupReadWrite) == kGroupReadWrite) {
        if (const group* g = getgrgid(device.st_gid))
            return QString::fromLocal8Bit(g->gr_name);
    }
    return QString::fromLatin1(kSerialGroup);
}

QString userName()
{
    if (const passwd* user = getpwuid(geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
    return QStringLiteral("$USER");
}

} // namespace

QString portAccessAdvice(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat device { };
    if (native.isEmpty() || stat(native.constData(), &device) != 0)
        return {};
    if (access(native.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return {};
    const QString group = groupToJoin(device);
    return QStringLiteral("Your user may not use this port: join the group %1 (sudo adduser %2 %1), "
                          "then log out and back in.")
        .arg(group, userName());
}
#else
QString portAccessAdvice(const QString&)
{
    return {};
}
#endif

} // namespace velto::serial
