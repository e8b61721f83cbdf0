#include "modbus/register_map.h"

#include "common/prompter.h"

#include <array>

namespace velto::modbus {

namespace {

constexpr qint32 kWordRange = 65536;
constexpr qint32 kSignedLimit = 32768;
constexpr qint64 kMetreDivisor = 1000;
constexpr qint64 kFeetDivisor = 10;

struct StatusFlag {
    int bit;
    const char* text;
};

constexpr std::array<StatusFlag, 6> kStatusFlags { {
    { 5, "-Menu-" },
    { 4, "-No Table-" },
    { 3, "-Noise-" },
    { 2, "-Empty-" },
    { 1, "-Full-" },
    { 0, "-OK-" },
} };

struct UnitEntry {
    MeasurementUnit unit;
    const char* text;
};

constexpr std::array<UnitEntry, 5> kUnits { {
    { MeasurementUnit::Meter, "METER" },
    { MeasurementUnit::Inch, "INCH" },
    { MeasurementUnit::Feet, "FEET" },
    { MeasurementUnit::M3PerHr, "M3/HR" },
    { MeasurementUnit::Gpm, "G.P.M" },
} };

struct ModeEntry {
    int code;
    const QString* text;
};

} // namespace

qint32 SInt2UInt(qint16 value)
{
    return value < 0 ? qint32(value) + kWordRange : qint32(value);
}

qint32 IntegerToUnsigned(qint16 value)
{
    return SInt2UInt(value);
}

qint16 UnsignedToInteger(qint32 value, Prompter& prompter)
{
    if (value < 0 || value >= kWordRange) {
        prompter.message(kConversionWarningText, kConversionWarningTitle, Prompter::Icon::Warning);
        return 0;
    }
    return value < kSignedLimit ? qint16(value) : qint16(value - kWordRange);
}

quint32 combineWords(quint16 low, quint16 high)
{
    return (quint32(high) << 16) | low;
}

double ConvertHexToDecimal(qint16 LoValue, qint16 HiValue)
{
    return double(combineWords(quint16(LoValue), quint16(HiValue)));
}

int HexDigitValue(QStringView digit)
{
    if (digit.size() != 1)
        return 0;
    const char16_t c = digit.front().unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return 0;
}

QString ToBinaryText(qint16 value)
{
    if (value <= 0)
        return QStringLiteral("0");
    return QString::number(value, 2);
}

double MyRound(double value)
{
    return value - 0.5;
}

QString statusText(quint16 r4)
{
    QString text;
    for (const auto& flag : kStatusFlags) {
        if (r4 & (1u << flag.bit))
            text += QLatin1String(flag.text);
    }
    return text;
}

std::optional<MeasurementUnit> unitFromCode(int code)
{
    for (const auto& entry : kUnits) {
        if (int(entry.unit) == code)
            return entry.unit;
    }
    return std::nullopt;
}

std::optional<MeasurementUnit> unitFromText(QStringView text)
{
    for (const auto& entry : kUnits) {
        if (text == QLatin1String(entry.text))
            return entry.unit;
    }
    return std::nullopt;
}

QString unitText(MeasurementUnit unit)
{
    for (const auto& entry : kUnits) {
        if (entry.unit == unit)
            return QLatin1String(entry.text);
    }
    return {};
}

QString unitLabel(MeasurementUnit unit)
{
    switch (unit) {
    case MeasurementUnit::Meter:
    case MeasurementUnit::M3PerHr:
        return QStringLiteral("meter");
    case MeasurementUnit::Feet:
        return QStringLiteral("feet");
    case MeasurementUnit::Inch:
    case MeasurementUnit::Gpm:
        return QStringLiteral("inch");
    }
    return {};
}

QString flowUnitLabel(MeasurementUnit unit)
{
    switch (unit) {
    case MeasurementUnit::M3PerHr:
        return QStringLiteral("M3/Hr");
    case MeasurementUnit::Gpm:
        return QStringLiteral("G.P.M");
    default:
        return {};
    }
}

bool isFlowUnit(MeasurementUnit unit)
{
    return unit == MeasurementUnit::M3PerHr || unit == MeasurementUnit::Gpm;
}

std::optional<QString> indicationModeText(int code)
{
    const std::array<ModeEntry, 5> modes { {
        { 0, &kModeDistance },
        { 1, &kModeLevel },
        { 3, &kModeFlow },
        { 5, &kModeTotalization },
        { 6, &kModeVolume },
    } };
    for (const auto& mode : modes) {
        if (mode.code == code)
            return *mode.text;
    }
    return std::nullopt;
}

QString formatDecimal(qint64 value, qint64 divisor)
{
    if (divisor <= 0)
        return QString::number(value);
    const bool negative = value < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    const quint64 whole = magnitude / quint64(divisor);
    quint64 remainder = magnitude % quint64(divisor);

    QString text = QString::number(whole);
    if (remainder != 0) {
        QString fraction;
        // Long division digit by digit; stops when the remainder is used up, so no trailing zeros.
        // A divisor that is not a power of ten could recur forever: cap it at 15 digits.
        constexpr int kMaxFractionDigits = 15;
        while (remainder != 0 && fraction.size() < kMaxFractionDigits) {
            remainder *= 10;
            fraction += QChar(u'0' + char16_t(remainder / quint64(divisor)));
            remainder %= quint64(divisor);
        }
        text += QLatin1Char('.') + fraction;
    }
    if (negative)
        text.prepend(QLatin1Char('-'));
    return text;
}

QString scaleLength(quint16 word, MeasurementUnit unit)
{
    switch (unit) {
    case MeasurementUnit::Meter:
    case MeasurementUnit::M3PerHr:
        return formatDecimal(word, kMetreDivisor);
    default:
        return scaleSigned(word, unit);
    }
}

QString scaleSigned(quint16 word, MeasurementUnit unit)
{
    const qint64 value = qint16(word);
    switch (unit) {
    case MeasurementUnit::Meter:
    case MeasurementUnit::M3PerHr:
        return formatDecimal(value, kMetreDivisor);
    case MeasurementUnit::Feet:
        return formatDecimal(value, kFeetDivisor);
    case MeasurementUnit::Inch:
    case MeasurementUnit::Gpm:
        return QString::number(value);
    }
    return {};
}

double lengthValue(quint16 word, MeasurementUnit unit)
{
    switch (unit) {
    case MeasurementUnit::Meter:
    case MeasurementUnit::M3PerHr:
        return double(word) / kMetreDivisor;
    case MeasurementUnit::Feet:
        return double(qint16(word)) / kFeetDivisor;
    case MeasurementUnit::Inch:
    case MeasurementUnit::Gpm:
        return qint16(word);
    }
    return 0;
}

} // namespace velto::modbus
