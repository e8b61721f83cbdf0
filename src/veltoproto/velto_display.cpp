#include "veltoproto/velto_display.h"

#include "common/colors.h"

#include <QStringList>

namespace velto::veltoproto {

namespace {
constexpr double kMillimetresPerMetre = 1000.0;
constexpr double kInchesPerMetre = 39.37;
constexpr double kFeetPerMetre = 3.281;
constexpr int kGeneralNumberDigits = 15;
constexpr int kFixedDecimals = 3;

const QColor kBlack = QColor(Qt::black);

struct SensorBoxes {
    const char* distance;
    const char* tankHeight;
    const char* level;
    const char* temperature;
    const char* status;
    const char* distanceUnit;
    const char* tankHeightUnit;
    const char* levelUnit;
    const char* temperatureUnit;
};

constexpr std::array<SensorBoxes, kSensorCount> kBoxes { {
    { "TxtVeltoDist", "IrVeltoTnakHeight", "TextVeltoLevel", "TextVeltoTemp", "VeltoDevSta", "labelVeltoDist",
        "LabelVeltoTnakHeight", "LabelVeltoLevel", "LabelVeltoTemp" },
    { "TxtVeltoDist2", "IrVeltoTnakHeight2", "TextVeltoLevel2", "TextVeltoTemp2", "VeltoDevSta2",
        "labelVeltoDist2", "LabelVeltoTnakHeight2", "LabelVeltoLevel2", "LabelVeltoTemp2" },
} };

// Controls that only the two-sensor layout shows, besides the second sensor's boxes.
constexpr std::array kSecondColumnExtras { "MeasurementUnitCombo2", "LabelSensorNo2", "LabelMultiSensor" };

struct StatusLook {
    quint8 digit;
    const char* text;
    const QColor* color;
};

const std::array<StatusLook, 5> kStatusLooks { {
    { 0, "O.K", &kBlue },
    { 1, "Full", &kRed },
    { 2, "Empty", &kRed },
    { 4, "Noise", &kBlack },
    { 8, "No Echo", &kBlack },
} };

BoxUpdate textBox(const char* name, const QString& text)
{
    BoxUpdate b;
    b.objectName = QString::fromLatin1(name);
    b.text = text;
    return b;
}

BoxUpdate visibility(const char* name, bool visible)
{
    BoxUpdate b;
    b.objectName = QString::fromLatin1(name);
    b.visible = visible;
    return b;
}

// VB's "#" placeholders print no leading zero: 0.5 shows as ".500".
QString fixedWithoutLeadingZero(double value)
{
    QString s = QString::number(value, 'f', kFixedDecimals);
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    return s;
}

QString unitLabel(LengthUnit unit)
{
    switch (unit) {
    case LengthUnit::Meter:
        return QStringLiteral("meter");
    case LengthUnit::Inch:
        return QStringLiteral("inch");
    case LengthUnit::Feet:
        return QStringLiteral("feet");
    }
    return {};
}

} // namespace

std::optional<LengthUnit> lengthUnitFromText(QStringView selectorText)
{
    if (selectorText == QLatin1String("Meter"))
        return LengthUnit::Meter;
    if (selectorText == QLatin1String("Inch"))
        return LengthUnit::Inch;
    if (selectorText == QLatin1String("Feet"))
        return LengthUnit::Feet;
    return std::nullopt;
}

QString formatLength(qint32 millimetres, LengthUnit unit)
{
    const double metres = millimetres / kMillimetresPerMetre;
    switch (unit) {
    case LengthUnit::Meter:
        return QString::number(metres, 'g', kGeneralNumberDigits);
    case LengthUnit::Inch:
        return fixedWithoutLeadingZero(metres * kInchesPerMetre);
    case LengthUnit::Feet:
        return fixedWithoutLeadingZero(metres * kFeetPerMetre);
    }
    return {};
}

QList<BoxUpdate> layoutUpdates(Layout layout)
{
    const bool two = layout == Layout::TwoSensors;
    const SensorBoxes& second = kBoxes[1];
    QList<BoxUpdate> out;
    for (const char* name :
        { second.distance, second.tankHeight, second.level, second.temperature, second.status,
            second.distanceUnit, second.tankHeightUnit, second.levelUnit, second.temperatureUnit })
        out << visibility(name, two);
    for (const char* name : kSecondColumnExtras)
        out << visibility(name, two);
    out << textBox("LabelSensorNo1", two ? QStringLiteral("Sensor No. 1") : QStringLiteral("Single Sensor"));
    BoxUpdate frame;
    frame.objectName = QStringLiteral("frmVelto");
    frame.width = two ? kFrameWidthTwoSensors : kFrameWidthSingle;
    out << frame;
    BoxUpdate tank;
    tank.objectName = QStringLiteral("pictTank");
    tank.left = two ? kTankLeftTwoSensors : kTankLeftSingle;
    out << tank;
    return out;
}

std::optional<QString> statusText(quint8 status)
{
    for (const StatusLook& look : kStatusLooks) {
        if (look.digit == status)
            return QString::fromLatin1(look.text);
    }
    return std::nullopt;
}

std::optional<BoxUpdate> statusUpdate(int sensor, quint8 status)
{
    if (sensor < 0 || sensor >= kSensorCount)
        return std::nullopt;
    for (const StatusLook& look : kStatusLooks) {
        if (look.digit != status)
            continue;
        BoxUpdate b = textBox(kBoxes[sensor].status, QString::fromLatin1(look.text));
        b.color = *look.color;
        b.bold = true;
        return b;
    }
    return std::nullopt;
}

QList<BoxUpdate> sensorValueUpdates(const VeltoState& state, int sensor, std::optional<LengthUnit> unit)
{
    QList<BoxUpdate> out;
    if (sensor < 0 || sensor >= kSensorCount)
        return out;
    const SensorBoxes& boxes = kBoxes[sensor];
    const SensorReadings& r = state.sensors[sensor];
    if (unit) {
        const QString label = unitLabel(*unit);
        out << textBox(boxes.distance, formatLength(r.distance, *unit)) << textBox(boxes.distanceUnit, label);
        out << textBox(boxes.tankHeight, formatLength(r.tankHeight, *unit))
            << textBox(boxes.tankHeightUnit, label);
        // Written after the tank height so a redraw of the tank on the level change sees both.
        out << textBox(boxes.level, formatLength(r.level, *unit)) << textBox(boxes.levelUnit, label);
    }
    out << textBox(boxes.temperature, QString::number(r.temperature))
        << textBox(boxes.temperatureUnit, QStringLiteral("Celsius"));
    return out;
}

DisplayUpdate displayForRead(const UnpackResult& result, const VeltoState& state, const SensorUnits& units)
{
    DisplayUpdate d;
    d.applied = result.applied;
    d.accepted = result.accepted;
    if (result.applied) {
        if (result.layout) {
            d.layout = result.layout;
            d.boxes << layoutUpdates(*result.layout);
        } else {
            BoxUpdate tank;
            tank.objectName = QStringLiteral("pictTank");
            tank.left = result.tankLeft;
            d.boxes << tank;
        }
        const int target = result.statusTarget == StatusTarget::Sensor1 ? 0
            : result.statusTarget == StatusTarget::Sensor2              ? 1
                                                                        : -1;
        if (const auto status = statusUpdate(target, state.replyStatus))
            d.boxes << *status;
    }
    const int sensor = state.replySensorIndex;
    if (sensor < kSensorCount)
        d.boxes << sensorValueUpdates(state, sensor, units[sensor]);
    return d;
}

QList<BoxUpdate> noResponseUpdates(const VeltoState& state)
{
    QList<BoxUpdate> out;
    const int sensors = state.layout == Layout::TwoSensors ? kSensorCount : 1;
    for (int s = 0; s < sensors; ++s) {
        BoxUpdate b = textBox(kBoxes[s].status, kNoResponse);
        b.color = kRed;
        b.bold = true;
        out << b;
    }
    return out;
}

QList<BoxUpdate> panelSnapshot(const VeltoState& state, const SensorUnits& units)
{
    QList<BoxUpdate> out;
    if (state.layout)
        out << layoutUpdates(*state.layout);
    const int sensors = state.layout == Layout::TwoSensors ? kSensorCount : 1;
    for (int s = 0; s < sensors; ++s) {
        if (state.shownStatus[s]) {
            if (const auto status = statusUpdate(s, *state.shownStatus[s]))
                out << *status;
        }
        out << sensorValueUpdates(state, s, units[s]);
    }
    return out;
}

} // namespace velto::veltoproto
