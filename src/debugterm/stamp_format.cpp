#include "debugterm/stamp_format.h"

namespace velto::debugterm {

namespace {
constexpr qint64 kMsPerHundredth = 10;
constexpr qint64 kHundredthsPerSecond = 100;
} // namespace

QString formatStamp(qint64 elapsedMs)
{
    // Integer arithmetic: a float would round 0.005 s steps differently from one run to the next.
    const bool negative = elapsedMs < 0;
    const qint64 magnitude = negative ? -elapsedMs : elapsedMs;
    const qint64 hundredths = (magnitude + kMsPerHundredth / 2) / kMsPerHundredth;
    const qint64 seconds = hundredths / kHundredthsPerSecond;
    const qint64 fraction = hundredths % kHundredthsPerSecond;
    QString text;
    if (negative && hundredths > 0)
        text += QLatin1Char('-');
    if (seconds > 0)
        text += QString::number(seconds);
    text += QLatin1Char('.');
    text += QStringLiteral("%1").arg(fraction, 2, 10, QLatin1Char('0'));
    return text;
}

} // namespace velto::debugterm
