#pragma once

#include <QString>

#include <optional>

namespace velto::calibration {

// A value as the calibration panels show it: rounded to at most two decimals, without trailing
// zeros or a bare point, at least one digit before the point ("1.27", "750", "0.5", "-0.66").
QString formatValue(double value);

// A number as an operator types it, read as every box of the program reads numbers (decimal,
// 0x-hexadecimal, or a decimal fraction with '.'); a ',' anywhere makes it no number.
std::optional<double> parseTypedNumber(const QString& text);

} // namespace velto::calibration
