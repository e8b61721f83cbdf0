#include "calibration/value_text.h"

#include <QLocale>

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
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // The C locale: one decimal point, no group separators, whatever the desktop's language.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace velto::calibration
