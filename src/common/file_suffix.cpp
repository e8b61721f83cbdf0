#include "common/file_suffix.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace velto {

QString filterSuffix(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral(R"(\*\.([A-Za-z0-9_]+)\b)"));
    const QString first = filter.section(QStringLiteral(";;"), 0, 0);
    const QRegularExpressionMatch match = pattern.match(first);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString withFilterSuffix(const QString& path, const QString& filter)
{
    const QString suffix = filterSuffix(filter);
    const QFileInfo info(path);
    // A file that is there was chosen as it is (a device such as /dev/full included).
    if (path.isEmpty() || suffix.isEmpty() || info.fileName().isEmpty() || !info.suffix().isEmpty()
        || info.exists())
        return path;
    const QString name = info.fileName();
    return name.endsWith(QLatin1Char('.')) ? path + suffix : path + QLatin1Char('.') + suffix;
}

} // namespace velto
