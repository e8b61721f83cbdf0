#include "radar/monitoring_folder.h"

#include <QDir>

namespace velto::radar {

QString defaultMonitoringFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Rendo Monitor\\");
#else
    return QDir::homePath() + QStringLiteral("/Rendo Monitor/");
#endif
}

QString monitoringFilePath(const QString& folder, const QString& fileName)
{
    if (!fileName.isEmpty() && QDir::isAbsolutePath(fileName))
        return fileName;
    return folder + fileName;
}

} // namespace velto::radar
