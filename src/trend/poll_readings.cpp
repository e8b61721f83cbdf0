#include "trend/poll_readings.h"

#include "modbus/multi_device_poller.h"
#include "modbus/register_map.h"

namespace velto::trend {

namespace {

constexpr double kTemperatureDivisor = 100;
constexpr double kFlowDivisor = 10;
constexpr double kMillimetresPerMetre = 1000;
// The factors the Velto panel shows lengths with.
constexpr double kInchesPerMetre = 39.37;
constexpr double kFeetPerMetre = 3.281;

std::optional<double> wordValue(const QList<quint16>& words, int index, auto convert)
{
    if (index >= words.size())
        return std::nullopt;
    return convert(words.at(index));
}

} // namespace

QList<Reading> sensorReadings(
    int slave, const QList<quint16>& words, const QString& unitText, const QString& modeText)
{
    using namespace modbus;
    const QString prefix = QStringLiteral("ID %1 ").arg(slave);
    const bool complete = words.size() >= kDynamicGroup.count;
    const QList<quint16> none;
    const QList<quint16>& w = complete ? words : none;
    QList<Reading> out;
    const auto unit = unitFromText(unitText);
    if (unit) {
        const QString label = unitLabel(*unit);
        auto length = [&](quint16 word) { return lengthValue(word, *unit); };
        out << Reading { { prefix + QStringLiteral("Distance"), label, {} },
            wordValue(w, kRegDistance, length) }
            << Reading { { prefix + QStringLiteral("Level"), label, {} }, wordValue(w, kRegLevel, length) };
    }
    out << Reading { { prefix + QStringLiteral("Temperature"), kTemperatureUnit, {} },
        wordValue(w, kRegTemperature, [](quint16 word) { return qint16(word) / kTemperatureDivisor; }) };

    std::optional<double> flow;
    if (complete)
        flow = combineWords(w[kRegFlowLow], w[kRegFlowLow + 1]) / kFlowDivisor;
    const bool flowMode = modeText == kModeFlow || modeText == kModeTotalization;
    if (flowMode && unit && isFlowUnit(*unit))
        out << Reading { { prefix + modeText, flowUnitLabel(*unit), {} }, flow };
    else if (modeText == kModeVolume)
        out << Reading { { prefix + modeText, QString(), {} }, flow };
    return out;
}

QList<Reading> deviceReadings(int device, int slave, const QList<quint16>& words)
{
    QList<Reading> out;
    const bool complete = words.size() >= modbus::kDeviceValueCount;
    for (int r = 0; r < modbus::kDeviceValueCount; ++r) {
        const QString reg = QStringLiteral("R%1").arg(r);
        out << Reading { { QStringLiteral("Device %1 (ID %2) %3").arg(device).arg(slave).arg(reg),
                             kRegisterUnit, reg },
            complete ? std::optional<double>(qint16(words.at(r))) : std::nullopt };
    }
    return out;
}

Reading veltoReading(int address, int sensor, veltoproto::VeltoCommand command, std::optional<qint32> stored,
    std::optional<veltoproto::LengthUnit> unit)
{
    using veltoproto::LengthUnit;
    using veltoproto::VeltoCommand;
    const QString prefix = QStringLiteral("Address %1 Sensor %2 ").arg(address).arg(sensor + 1);
    if (command == VeltoCommand::Temperature) {
        return { { prefix + QStringLiteral("Temperature"), kTemperatureUnit, {} },
            stored ? std::optional<double>(*stored) : std::nullopt };
    }
    const QString quantity = command == VeltoCommand::Distance ? QStringLiteral("Distance")
        : command == VeltoCommand::Level                       ? QStringLiteral("Level")
                                                               : QStringLiteral("Tank Height");
    const LengthUnit shown = unit.value_or(LengthUnit::Meter);
    const double factor = shown == LengthUnit::Inch ? kInchesPerMetre
        : shown == LengthUnit::Feet                 ? kFeetPerMetre
                                                    : 1;
    const QString label = shown == LengthUnit::Inch ? QStringLiteral("inch")
        : shown == LengthUnit::Feet                 ? QStringLiteral("feet")
                                                    : QStringLiteral("meter");
    std::optional<double> value;
    if (stored)
        value = *stored / kMillimetresPerMetre * factor;
    return { { prefix + quantity, label, {} }, value };
}

} // namespace velto::trend
