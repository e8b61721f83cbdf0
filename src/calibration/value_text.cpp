#include "calibration/value_text.h"

#include "common/number_text.h"

#include <cmath>

namespace velto::calibration {

namespace {
constexpr double kHundredths = 100.0;
constexpr int kDecimals = 2;
} // namespace

QString formatValue(double value)
{
    double rounded = std::round(value * kHundredths) / kHundredths;
    if (rounded == 0.0)
        rounded = 0.0; // no "-0"
    QString text = QString::number(rounded, 'f', kDecimals);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

std::optional<double> parseTypedNumber(const QString& text)
{
    // A group separator is refused rather than read: "1,5" is neither fifteen nor one and a half.
    if (text.contains(QLatin1Char(',')))
        return std::nullopt;
    return parseRealNumber(text);
}

} // namespace velto::calibration
