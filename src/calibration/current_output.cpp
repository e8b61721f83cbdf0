#include "calibration/current_output.h"

#include "calibration/value_text.h"

#include <cmath>

namespace velto::calibration {

namespace {
// 16 mA over the codes between the 4 mA and the 20 mA points.
constexpr double kSpanMilliamps = 16.0;
constexpr double kSpanCodes = kTwentyMaCode - kFourMaCode;
constexpr double kTwentyMilliamps = 20.0;

constexpr std::array<CurrentRow, kCurrentOutputCount> kRows { {
    { CurrentOutput::Io1At4mA, "I/O 1 4mA", 'G', kFourMaCode },
    { CurrentOutput::Io2At4mA, "I/O 2 4mA", 'H', kFourMaCode },
    { CurrentOutput::Io3At4mA, "I/O 3 4mA", 'I', kFourMaCode },
    { CurrentOutput::Io1At20mA, "I/O 1 20mA", 'J', kTwentyMaCode },
    { CurrentOutput::Io2At20mA, "I/O 2 20mA", 'K', kTwentyMaCode },
    { CurrentOutput::Io3At20mA, "I/O 3 20mA", 'L', kTwentyMaCode },
} };
} // namespace

const std::array<CurrentRow, kCurrentOutputCount>& currentRows()
{
    return kRows;
}

const CurrentRow& currentRow(CurrentOutput output)
{
    return kRows[size_t(indexOf(output))];
}

std::optional<CurrentOutput> currentOutputAt(int index)
{
    if (index < 0 || index >= kCurrentOutputCount)
        return std::nullopt;
    return kRows[size_t(index)].output;
}

int indexOf(CurrentOutput output)
{
    return int(output);
}

double milliampsFromCode(int code)
{
    return kSpanMilliamps * (code - kTwentyMaCode) / kSpanCodes + kTwentyMilliamps;
}

QString milliampsText(int code)
{
    return formatValue(milliampsFromCode(code));
}

std::optional<int> currentCodeFromText(const QString& text)
{
    const std::optional<double> milliamps = parseTypedNumber(text);
    if (!milliamps)
        return std::nullopt;
    const double code
        = std::round((*milliamps - kTwentyMilliamps) * kSpanCodes / kSpanMilliamps + kTwentyMaCode);
    if (code < kMinCurrentCode || code > kMaxCurrentCode)
        return std::nullopt;
    return int(code);
}

} // namespace velto::calibration
