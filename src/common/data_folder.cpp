#include "common/data_folder.h"

#include <QDir>

namespace velto {

namespace {
constexpr auto kFolderName = "Rendo Monitor";
} // namespace

QString dataFolderPath()
{
#ifdef Q_OS_WIN
    const QString parent = QStringLiteral("C:/");
#else
    const QString parent = QDir::homePath() + QLatin1Char('/');
#endif
    return parent + QLatin1String(kFolderName) + QLatin1Char('/');
}

QString ensureDataFolder()
{
    const QString path = dataFolderPath();
    return QDir().mkpath(path) ? path : QString();
}

} // namespace velto
