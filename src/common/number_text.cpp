#include "common/number_text.h"

#include <QLocale>

#include <cmath>

namespace velto {

namespace {

constexpr int kDecimal = 10;
constexpr int kHexadecimal = 16;

bool isHexPrefix(QStringView text)
{
    return text.size() > 2 && text.at(0) == u'0' && (text.at(1) == u'x' || text.at(1) == u'X');
}

} // namespace

std::optional<qint64> parseWholeNumber(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    // Qt's base 0 would read a leading zero as octal; only the two bases we mean are tried.
    const qint64 value = isHexPrefix(trimmed) ? trimmed.mid(2).toLongLong(&ok, kHexadecimal)
                                              : trimmed.toLongLong(&ok, kDecimal);
    // "0x-5" and "0x+5" are not hexadecimal numbers.
    if (!ok || (isHexPrefix(trimmed) && !trimmed.at(2).isLetterOrNumber()))
        return std::nullopt;
    return value;
}

std::optional<double> parseRealNumber(QStringView text)
{
    if (const auto whole = parseWholeNumber(text))
        return double(*whole);
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace velto
