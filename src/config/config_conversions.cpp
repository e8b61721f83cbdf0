#include "config/config_conversions.h"

#include "common/number_text.h"

#include <cmath>
#include <limits>

namespace velto::config {

namespace {

constexpr double kUnitRefusedLow = 0.0;
constexpr double kUnitRefusedHigh = 4.0;

// Rounds halves to even, as the integer conversions of the description do.
double roundHalfEven(double value)
{
    return std::nearbyint(value); // the default rounding mode is to nearest, ties to even
}

// A typed number, or 0 for text that is no number.
double typedNumber(const QString& text)
{
    return parseRealNumber(text).value_or(0.0);
}

} // namespace

const QStringList& measurementUnitEntries()
{
    static const QStringList entries = { QStringLiteral("METER"), QStringLiteral("INCH"),
        QStringLiteral("FEET"), QStringLiteral("M\u00B3/HR"), QStringLiteral("G.P.M") };
    return entries;
}

const QStringList& indicationModeEntries()
{
    static const QStringList entries = { QStringLiteral("Distance"), QStringLiteral("Level"),
        QStringLiteral("Flow"), QStringLiteral("Totalization"), QStringLiteral("Volume") };
    return entries;
}

const QList<quint16>& measurementUnitCodes()
{
    static const QList<quint16> codes = { 0, 1, 2, 3, 4 };
    return codes;
}

const QList<quint16>& indicationModeCodes()
{
    static const QList<quint16> codes = { 0, 1, 3, 5, 6 };
    return codes;
}

std::optional<quint16> toInt16Word(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = roundHalfEven(value);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return quint16(qint16(rounded));
}

std::optional<quint16> toInt16Word(const QString& text)
{
    const std::optional<double> value = parseRealNumber(text);
    return value ? toInt16Word(*value) : std::nullopt;
}

std::optional<TwoWords> ConvertModbusValueTo2Integer(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = roundHalfEven(value);
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max())
        return std::nullopt;
    const quint32 bits = quint32(qint32(rounded));
    return TwoWords { quint16(bits & 0xFFFFu), quint16(bits >> 16) };
}

ListCode measurementUnitCode(const QString& text)
{
    if (const qsizetype index = measurementUnitEntries().indexOf(text); index >= 0)
        return { measurementUnitCodes().at(index), false };
    const double number = typedNumber(text);
    if (number >= kUnitRefusedLow && number <= kUnitRefusedHigh)
        return { std::nullopt, true };
    return { toInt16Word(number), false };
}

ListCode indicationModeCode(const QString& text)
{
    if (const qsizetype index = indicationModeEntries().indexOf(text); index >= 0)
        return { indicationModeCodes().at(index), false };
    const double number = typedNumber(text);
    for (quint16 code : indicationModeCodes()) {
        if (number == double(code))
            return { std::nullopt, true };
    }
    return { toInt16Word(number), false };
}

} // namespace velto::config
