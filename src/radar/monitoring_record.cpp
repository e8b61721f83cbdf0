#include "radar/monitoring_record.h"

#include "radar/radar_format.h"

#include <cmath>

namespace velto::radar {

QString MonitoringRecord::modeFor(bool spectrum, bool timeDomain)
{
    return QStringLiteral("Mode %1").arg((spectrum ? 1 : 0) + (timeDomain ? 2 : 0));
}

QString MonitoringRecord::laserDistanceFor(const QString& typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return QStringLiteral("0.0000");
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? formatMetres(v) : text;
}

QStringList MonitoringRecord::lines() const
{
    QStringList out { QString::number(seriesNumber), QString::number(measurements), laserDistance, mode };
    for (qsizetype i = 0; i < times.size() && i < distances.size(); ++i)
        out << times.at(i) << distances.at(i);
    return out;
}

} // namespace velto::radar
