#include "radar/radar_format.h"

#include <cmath>
#include <cstdlib>

namespace velto::radar {

namespace {
constexpr qint64 kMsPerS = 1000;
constexpr qint64 kTenthsOfMmPerM = 10000;
} // namespace

QString formatSecondsField(qint64 ms)
{
    const QString sign = ms < 0 ? QStringLiteral("-") : QString();
    const qint64 a = std::llabs(ms);
    const qint64 whole = a / kMsPerS;
    return sign + (whole == 0 ? QString() : QString::number(whole))
        + QStringLiteral(".%1").arg(a % kMsPerS, 3, 10, QLatin1Char('0'));
}

QString formatSecondsPlain(qint64 ms)
{
    QString text = QString::number(double(ms) / kMsPerS, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString formatMetres(double metres)
{
    QString text = QString::number(metres, 'f', 4);
    return text == QLatin1String("-0.0000") ? QStringLiteral("0.0000") : text;
}

QString formatTenthsOfMm(qint32 raw)
{
    const qint64 v = raw;
    const qint64 a = std::llabs(v);
    return (v < 0 ? QStringLiteral("-") : QString()) + QString::number(a / kTenthsOfMmPerM)
        + QStringLiteral(".%1").arg(a % kTenthsOfMmPerM, 4, 10, QLatin1Char('0'));
}

} // namespace velto::radar
