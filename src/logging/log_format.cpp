#include "logging/log_format.h"

#include "common/number_text.h"

#include <QLocale>
#include <cmath>

namespace velto::logging {

namespace {
constexpr double kMsPerSecond = 1000.0;

QStringList modbusValues(const ModbusReadingTexts& m)
{
    QStringList out { m.errorStatus, m.distance, m.level, m.temperature };
    if (!m.volume.isEmpty())
        out << m.volume;
    out << m.tankHeight << m.unit;
    return out;
}

QStringList veltoValues(const VeltoSensorTexts& v)
{
    return { v.status, v.distance, v.level, v.temperature, v.tankHeight };
}

QStringList values(const LogReadings& r)
{
    if (r.mode == LogMode::Modbus)
        return modbusValues(r.modbus);
    QStringList out = veltoValues(r.velto[0]);
    if (r.twoSensors)
        out << veltoValues(r.velto[1]);
    return out;
}
} // namespace

QString titleText(const LogLayout& layout)
{
    if (layout.mode == LogMode::Modbus) {
        QString title = QStringLiteral("Error Status,Distance,Level,Temperature,");
        if (!layout.volumeCaption.isEmpty())
            title += layout.volumeCaption + QLatin1Char(',');
        return title + QStringLiteral("Tank Height,Measurment Unit,Time,Date");
    }
    if (layout.twoSensors)
        return QStringLiteral("Error Status 1,Distance 1,Level 1,Temperature 1,Tank Height 1,Error Status 2,"
                              "Distance 2,Level 2,Temperature 2,Tank Height 2,Time,Date ");
    return QStringLiteral("Error Status,Distance,Level,Temperature,Tank Height,Time,Date ");
}

QStringList gridHeader(const LogLayout& layout)
{
    if (layout.mode == LogMode::Modbus) {
        QStringList header { "Err Sta.", "Distance", "Level", "Temp." };
        if (!layout.volumeCaption.isEmpty())
            header << layout.volumeCaption;
        header << "T.H"
               << "Unit"
               << "Time"
               << "Date";
        return header;
    }
    if (layout.twoSensors)
        return { "Err. Sta.1", "Distance1", "Level1", "Temp.1", "T.H1", "Err. Sta.2", "Distance12", "Level2",
            "Temp.2", "T.H2", "Time", "Date" };
    return { "Err. Sta.", "Distance", "Level", "Temp.", "T.H", "Time", "Date" };
}

QString logTime(const QDateTime& now)
{
    return QLocale::system().toString(now.time(), QLocale::ShortFormat);
}

QString logDate(const QDateTime& now)
{
    return QLocale::system().toString(now.date(), QLocale::ShortFormat);
}

QString dataLine(const LogReadings& readings, const QDateTime& now)
{
    QString line;
    if (readings.mode == LogMode::Modbus) {
        const ModbusReadingTexts& m = readings.modbus;
        for (const QString& v : { m.errorStatus, m.distance, m.level, m.temperature })
            line += v + kValueSeparator;
        if (!m.volume.isEmpty())
            line += m.volume + kVolumeSeparator;
        line += m.tankHeight + kValueSeparator + m.unit + kValueSeparator;
    } else {
        for (const QString& v : values(readings))
            line += v + kValueSeparator;
    }
    line += logTime(now) + kValueSeparator + logDate(now) + kValueSeparator + kLineEnd;
    return line;
}

QStringList gridRow(const LogReadings& readings, const QDateTime& now)
{
    return values(readings) << logTime(now) << logDate(now);
}

RateEntry checkRate(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const std::optional<double> seconds = parseRealNumber(trimmed);
    if (!seconds || !(*seconds > kMinRateExclusiveS && *seconds < kMaxRateExclusiveS))
        return { RateEntry::Kind::Invalid, 0 };
    const int intervalMs = static_cast<int>(std::lround(*seconds * kMsPerSecond));
    if (intervalMs < 1)
        return { RateEntry::Kind::Invalid, 0 };
    return { RateEntry::Kind::Valid, intervalMs };
}

} // namespace velto::logging
