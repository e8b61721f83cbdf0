#include "radar/radar_fields.h"

#include <cmath>

namespace velto::radar {

const FieldRule kNumOfAutomeasurementRule { "NumOfAutomeasurementText", 1, 32767, 5, true,
    "Wrong value. Enter a valid no. of Measurement value, between 1 to 32767 (default value 5)" };
const FieldRule kTankHeightRule { "TankHeightTextBox", 0, 40000, 0, true,
    "Wrong value. Enter a valid tank height value, between 0 to 40000 mm (default value 0)" };
const FieldRule kCentralFrequencyRule { "CentralFrequencyText", 9500, 10600, 10050, true,
    "Wrong value. Enter a valid central frequency value, between 9500 MHz to 10600 MHz (default value 10050 "
    "MHz)" };
const FieldRule kBandRule { "BandTextBox", 50, 1100, 1100, true,
    "Wrong value. Enter a valid band value, between 1100 MHz to 50 MHz (default value 1100 MHz)" };
const FieldRule kTrueLiquidHeightRule { "TrueLiquidHeightTextBox", 0, 40000, 0, true,
    "Wrong value. Enter a valid true liquid height value, between 0 to 40000 mm (default value 0)" };
const FieldRule kRtsDelayRule { "RTSDelayText", 0, 10000000, 250000, true,
    "Wrong value. Enter a valid RTS Delay value, between 0 to 10000000 (default value 250000)" };
const FieldRule kDistanceOffsetRule { "DistanceOffsetText", -1, 1, 0, false,
    "Wrong value. Enter a valid Distance Offset value, between -1m to 1m (default value 0)" };

namespace {
std::optional<double> parseNumber(const QString& text, bool whole)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    if (whole) {
        const qlonglong v = trimmed.toLongLong(&ok, 10);
        return ok ? std::optional<double>(double(v)) : std::nullopt;
    }
    const double v = trimmed.toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::optional<int> parseBlock(const QString& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(v) : std::nullopt;
}
} // namespace

QString FieldRule::defaultText() const
{
    return QString::number(fallback);
}

FieldDecision checkField(const FieldRule& rule, const QString& text)
{
    const std::optional<double> v = parseNumber(text, rule.whole);
    if (v && *v >= rule.min && *v <= rule.max)
        return { *v, std::nullopt };
    return { rule.fallback, QString::fromLatin1(rule.message) };
}

BlockRange checkBlockStart(const BlockLimits& limits, BlockRange current, const QString& text)
{
    const std::optional<int> start = parseBlock(text);
    current.start = start && *start >= limits.first && *start <= current.end ? *start : limits.fallback.start;
    return current;
}

BlockRange checkBlockEnd(const BlockLimits& limits, BlockRange current, const QString& text)
{
    const std::optional<int> end = parseBlock(text);
    if (!end || *end < limits.first || *end < current.start) {
        current = limits.fallback;
    } else if (*end > limits.last) {
        current.end = limits.fallback.end;
    } else {
        current.end = *end;
    }
    // A start left above the corrected end would make an empty or negative range.
    if (current.start > current.end)
        current.start = limits.fallback.start;
    return current;
}

} // namespace velto::radar
