#include "sim/sensor_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velto::sim {

namespace {
constexpr double kMmPerTenthFoot = 30.48;
constexpr double kMmPerInch = 25.4;
constexpr double kMsPerSecond = 1000.0;
constexpr double kMmPerMetre = 1000.0;
constexpr double kTenthsPerUnit = 10.0;
constexpr qint64 kMsPerMinute = 60000;

// The level swings between 15 % and 85 % of the tank; Full and Empty trip near the ends.
constexpr double kLevelMidFraction = 0.5;
constexpr double kLevelSwingFraction = 0.35;
constexpr double kFullAbove = 0.8;
constexpr double kEmptyBelow = 0.2;
constexpr double kRelay1OpenAbove = 0.7;
constexpr double kRelay2OpenBelow = 0.3;

constexpr double kTemperatureSwingC = 2.5;
constexpr double kTemperaturePeriodS = 600.0;

// Short disturbances at prime periods, so they drift against each other and against the level.
constexpr qint64 kNoisePeriodS = 97;
constexpr qint64 kNoiseLastsS = 4;
constexpr qint64 kNoEchoPeriodS = 151;
constexpr qint64 kNoEchoLastsS = 3;
constexpr qint64 kRelay3HalfPeriodS = 40;

constexpr qint32 kSigned16Min = -32768;
constexpr qint32 kSigned16Max = 32767;
constexpr qint32 kUnsigned16Max = 65535;
constexpr int kWordBits = 16;
constexpr quint32 kLowWordMask = 0xFFFF;

qint64 floorMod(qint64 value, qint64 period)
{
    const qint64 r = value % period;
    return r < 0 ? r + period : r;
}

bool isValidMode(quint16 value)
{
    switch (IndicationMode(value)) {
    case IndicationMode::Distance:
    case IndicationMode::Level:
    case IndicationMode::Flow:
    case IndicationMode::Totalization:
    case IndicationMode::Volume:
        return true;
    }
    return false;
}

constexpr quint16 kHighestUnit = quint16(MeasurementUnit::GallonsPerMinute);

quint16 lowWord(quint32 v)
{
    return quint16(v & kLowWordMask);
}
quint16 highWord(quint32 v)
{
    return quint16(v >> kWordBits);
}
quint32 withLow(quint32 v, quint16 w)
{
    return (v & ~kLowWordMask) | w;
}
quint32 withHigh(quint32 v, quint16 w)
{
    return (v & kLowWordMask) | (quint32(w) << kWordBits);
}
} // namespace

SensorModel::SensorModel(const SensorSetup& setup)
    : m_address(setup.address)
    , m_setup(setup)
    , m_config { setup.unit, setup.mode, setup.tankHeightMm, setup.fourMaMm, 0, setup.fourMaQuantity,
        setup.twentyMaMm, 0, setup.twentyMaQuantity, setup.sbdMm, setup.interferenceMm }
{
}

SensorReading SensorModel::readingAt(qint64 ms) const
{
    const double seconds = double(ms) / kMsPerSecond;
    const double fraction = kLevelMidFraction
        + kLevelSwingFraction
            * std::sin(2.0 * std::numbers::pi * (seconds / m_setup.levelPeriodS + m_setup.phase));
    const qint32 height = std::max(m_config.tankHeightMm, 0);

    SensorReading r;
    r.levelMm = std::clamp(qint32(std::lround(height * fraction)), 0, height);
    r.distanceMm = height - r.levelMm;
    r.temperatureCenti = qint16(std::lround(100.0
        * (m_setup.meanTemperatureC
            + kTemperatureSwingC
                * std::sin(2.0 * std::numbers::pi * (seconds / kTemperaturePeriodS + m_setup.phase)))));

    const qint64 wholeSeconds = qint64(std::floor(seconds));
    const bool noise
        = floorMod(wholeSeconds + qint64(m_setup.phase * kNoisePeriodS), kNoisePeriodS) < kNoiseLastsS;
    const bool noEcho
        = floorMod(wholeSeconds + qint64(m_setup.phase * kNoEchoPeriodS), kNoEchoPeriodS) < kNoEchoLastsS;
    const bool full = fraction > kFullAbove;
    const bool empty = fraction < kEmptyBelow;

    if (!noise && !noEcho)
        r.status |= flag::kOk;
    if (full)
        r.status |= flag::kFull;
    if (empty)
        r.status |= flag::kEmpty;
    if (noise)
        r.status |= flag::kNoise;
    if (m_inMenu)
        r.status |= flag::kMenu;

    if (fraction > kRelay1OpenAbove)
        r.relays |= 1u << 0;
    if (fraction < kRelay2OpenBelow)
        r.relays |= 1u << 1;
    if (floorMod(wholeSeconds / kRelay3HalfPeriodS, 2) == 1)
        r.relays |= 1u << 2;
    if (noise)
        r.relays |= 1u << 3;
    if (noEcho)
        r.relays |= 1u << 4;

    if (noEcho)
        r.echo = EchoStatus::NoEcho;
    else if (noise)
        r.echo = EchoStatus::Noise;
    else if (full)
        r.echo = EchoStatus::Full;
    else if (empty)
        r.echo = EchoStatus::Empty;

    switch (m_config.mode) {
    case IndicationMode::Flow:
    case IndicationMode::Totalization:
        r.quantityTenths
            = quint32(m_setup.quantityStartTenths + ms * m_setup.quantityTenthsPerMinute / kMsPerMinute);
        break;
    case IndicationMode::Volume:
        r.quantityTenths
            = quint32(std::lround(r.levelMm / kMmPerMetre * m_setup.crossSectionM2 * kTenthsPerUnit));
        break;
    case IndicationMode::Distance:
    case IndicationMode::Level:
        break;
    }
    return r;
}

bool SensorModel::isMapped(int reg)
{
    return reg >= reg::kMapFirst && reg <= reg::kMapLast;
}

bool SensorModel::isQuantityMode(IndicationMode mode)
{
    return mode == IndicationMode::Flow || mode == IndicationMode::Totalization
        || mode == IndicationMode::Volume;
}

quint16 SensorModel::lengthToWord(qint32 mm, MeasurementUnit unit, bool isSigned)
{
    switch (unit) {
    case MeasurementUnit::Meter:
    case MeasurementUnit::CubicMetresPerHour:
        if (isSigned)
            return quint16(qint16(std::clamp(mm, kSigned16Min, kSigned16Max)));
        return quint16(std::clamp(mm, 0, kUnsigned16Max));
    case MeasurementUnit::Feet:
        return quint16(
            qint16(std::clamp(qint32(std::lround(mm / kMmPerTenthFoot)), kSigned16Min, kSigned16Max)));
    case MeasurementUnit::Inch:
    case MeasurementUnit::GallonsPerMinute:
        return quint16(qint16(std::clamp(qint32(std::lround(mm / kMmPerInch)), kSigned16Min, kSigned16Max)));
    }
    return 0;
}

qint32 SensorModel::wordToLength(quint16 word, MeasurementUnit unit, bool isSigned)
{
    switch (unit) {
    case MeasurementUnit::Meter:
    case MeasurementUnit::CubicMetresPerHour:
        return isSigned ? qint32(qint16(word)) : qint32(word);
    case MeasurementUnit::Feet:
        return qint32(std::lround(qint16(word) * kMmPerTenthFoot));
    case MeasurementUnit::Inch:
    case MeasurementUnit::GallonsPerMinute:
        return qint32(std::lround(qint16(word) * kMmPerInch));
    }
    return 0;
}

quint16 SensorModel::staticWord(int reg) const
{
    const Config& c = m_config;
    const bool quantity = isQuantityMode(c.mode);
    switch (reg) {
    case reg::kTankHeight:
        return lengthToWord(c.tankHeightMm, c.unit, false);
    case reg::kFourMaLow:
        return quantity ? lowWord(c.fourMaQuantity) : lengthToWord(c.fourMaMm, c.unit, false);
    case reg::kFourMaHigh:
        return quantity ? highWord(c.fourMaQuantity) : c.fourMaHighWord;
    case reg::kTwentyMaLow:
        return quantity ? lowWord(c.twentyMaQuantity) : lengthToWord(c.twentyMaMm, c.unit, false);
    case reg::kTwentyMaHigh:
        return quantity ? highWord(c.twentyMaQuantity) : c.twentyMaHighWord;
    case reg::kIndicationMode:
        return quint16(c.mode);
    case reg::kSbd:
        return lengthToWord(c.sbdMm, c.unit, true);
    case reg::kUnit:
        return quint16(c.unit);
    default:
        break;
    }
    if (reg >= reg::kInterferenceFirst && reg <= reg::kInterferenceLast)
        return lengthToWord(c.interferenceMm[size_t(reg - reg::kInterferenceFirst)], c.unit, true);
    return 0;
}

std::optional<quint16> SensorModel::readRegister(int reg, qint64 ms) const
{
    if (!isMapped(reg))
        return std::nullopt;
    if (reg >= reg::kStaticFirst && reg < reg::kStaticFirst + reg::kStaticCount)
        return staticWord(reg);

    switch (reg) {
    case reg::kCommType:
        return m_setup.commType;
    case reg::kCoprocessorVersion:
        return m_setup.coprocessorVersion;
    case reg::kMainVersion:
        return m_setup.mainVersion;
    case reg::kDisplayVersion:
        return m_setup.displayVersion;
    case reg::kHardwareRevision:
        return m_setup.hardwareRevision;
    case reg::kOwnAddress:
        return m_address;
    default:
        break;
    }
    if (reg >= reg::kDynamicFirst + reg::kDynamicCount)
        return kReservedWord;

    const SensorReading r = readingAt(ms);
    switch (reg) {
    case reg::kDistance:
        return lengthToWord(r.distanceMm, m_config.unit, false);
    case reg::kLevel:
        return lengthToWord(r.levelMm, m_config.unit, false);
    case reg::kTemperature:
        return quint16(r.temperatureCenti);
    case reg::kStatus:
        return r.status;
    case reg::kRelays:
        return r.relays;
    case reg::kQuantityLow:
        return lowWord(r.quantityTenths);
    case reg::kQuantityHigh:
        return highWord(r.quantityTenths);
    default:
        return kReservedWord;
    }
}

ModbusException SensorModel::readRegisters(int start, int count, qint64 ms, QList<quint16>& out) const
{
    out.clear();
    for (int reg = start; reg < start + count; ++reg) {
        const auto word = readRegister(reg, ms);
        if (!word) {
            out.clear();
            return ModbusException::IllegalDataAddress;
        }
        out.append(*word);
    }
    return ModbusException::None;
}

bool SensorModel::applyWord(Config& c, int reg, quint16 value)
{
    const bool quantity = isQuantityMode(c.mode);
    switch (reg) {
    case reg::kTankHeight: {
        const qint32 mm = wordToLength(value, c.unit, false);
        if (mm <= 0)
            return false;
        c.tankHeightMm = mm;
        return true;
    }
    case reg::kFourMaLow:
        if (quantity)
            c.fourMaQuantity = withLow(c.fourMaQuantity, value);
        else
            c.fourMaMm = wordToLength(value, c.unit, false);
        return true;
    case reg::kFourMaHigh:
        if (quantity)
            c.fourMaQuantity = withHigh(c.fourMaQuantity, value);
        else
            c.fourMaHighWord = value;
        return true;
    case reg::kTwentyMaLow:
        if (quantity)
            c.twentyMaQuantity = withLow(c.twentyMaQuantity, value);
        else
            c.twentyMaMm = wordToLength(value, c.unit, false);
        return true;
    case reg::kTwentyMaHigh:
        if (quantity)
            c.twentyMaQuantity = withHigh(c.twentyMaQuantity, value);
        else
            c.twentyMaHighWord = value;
        return true;
    case reg::kIndicationMode:
        if (!isValidMode(value))
            return false;
        c.mode = IndicationMode(value);
        return true;
    case reg::kSbd:
        c.sbdMm = wordToLength(value, c.unit, true);
        return true;
    case reg::kUnit:
        if (value > kHighestUnit)
            return false;
        c.unit = MeasurementUnit(value);
        return true;
    default:
        return false;
    }
}

ModbusException SensorModel::writeRegisters(int start, const QList<quint16>& values)
{
    if (values.isEmpty())
        return ModbusException::IllegalDataValue;
    const int last = start + int(values.size()) - 1;
    if (start < reg::kWritableFirst || last > reg::kWritableLast)
        return ModbusException::IllegalDataAddress;
    if (values.size() == 1 && start == reg::kUnit && values.front() == kMenuToggleValue) {
        m_inMenu = !m_inMenu;
        return ModbusException::None;
    }
    if (m_inMenu)
        return ModbusException::ServerDeviceBusy;

    // Unit and mode first: the lengths of a block write are meant in the unit the block sets.
    Config next = m_config;
    for (int reg : { reg::kUnit, reg::kIndicationMode }) {
        if (reg >= start && reg <= last && !applyWord(next, reg, values[reg - start]))
            return ModbusException::IllegalDataValue;
    }
    for (int reg = start; reg <= last; ++reg) {
        if (reg == reg::kUnit || reg == reg::kIndicationMode)
            continue;
        if (!applyWord(next, reg, values[reg - start]))
            return ModbusException::IllegalDataValue;
    }
    m_config = next;
    return ModbusException::None;
}

} // namespace velto::sim
