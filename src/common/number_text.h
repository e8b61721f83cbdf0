#pragma once

#include <QStringView>
#include <optional>

namespace velto {

// The one reading of typed numbers, for every box and every command-line option: blanks around the
// number are allowed; a whole number is decimal with an optional sign or hexadecimal after "0x"; a
// leading zero never makes it octal ("010" is ten).
std::optional<qint64> parseWholeNumber(QStringView text);

// A whole number as above, or a decimal fraction ("12.5", "-0.25", "1e3"). Infinities and NaN are
// not numbers.
std::optional<double> parseRealNumber(QStringView text);

} // namespace velto
