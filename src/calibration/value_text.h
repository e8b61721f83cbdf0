#pragma once

#include <QString>

#include <optional>

namespace velto::calibration {

// A value as the calibration panels show it: rounded to at most two decimals, without trailing
// zeros or a bare point, at least one digit before the point ("1.27", "750", "0.5", "-0.66").
QString formatValue(double value);

// A number as an operator types it: blanks around it, an optional sign, digits with at most one
// '.' as the decimal point, an optional exponent. Empty text, other characters, infinities and
// NaN give nothing.
std::optional<double> parseTypedNumber(const QString& text);

} // namespace velto::calibration
