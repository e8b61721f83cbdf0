#include "sim/taliq485_debug_talker.h"

#include <QString>

#include <cmath>
#include <numbers>

namespace velto::sim {

namespace {

constexpr double kMeanDistanceMm = 2400.0;
constexpr double kSwingMm = 900.0;
constexpr double kFillPeriodCycles = 600.0; // two minutes at five cycles a second
constexpr int kTemperatureC = 23;
constexpr int kThreshold = 400;
constexpr int kTimerPerMm = 6; // echo timer ticks per millimetre of distance
constexpr int kTimerWindow = 700;
constexpr int kJumpMm = 250; // a change this large between cycles is a jump to the search
constexpr int kFalseEchoEvery = 97; // a cycle that locks onto an obstacle instead of the surface
constexpr int kFalseEchoMm = 450;
constexpr int kCurrentOutputOffEvery = 4; // every fourth record has the 4-20 mA output idle
constexpr int kSearchReportEvery = 10;
constexpr int kQuickSearchEvery = 37;
constexpr int kSearchFailedEvery = 53;
constexpr int kFilterNoiseEvery = 7;
constexpr int kGainNoiseEvery = 11;
constexpr int kNoiseBurstBytes = 24;
constexpr char kLineEnd[] = "\r\n";

} // namespace

Taliq485DebugTalker::Taliq485DebugTalker(quint32 seed)
    : m_random(seed)
{
}

QByteArray Taliq485DebugTalker::outputUntil(qint64 ms)
{
    QByteArray out;
    const qint64 due = ms < 0 ? 0 : ms / kCycleMs;
    while (m_cycles < due) {
        const QByteArray lines = cycle();
        if (!silent)
            out += lines;
    }
    return out;
}

int Taliq485DebugTalker::jitter(int spread)
{
    return int(m_random.bounded(2 * spread + 1)) - spread;
}

void Taliq485DebugTalker::line(QByteArray& out, const QByteArray& text)
{
    ++m_lines;
    out += text;
    out += bareLineFeedEvery > 0 && m_lines % bareLineFeedEvery == 0 ? QByteArray("\n")
                                                                     : QByteArray(kLineEnd);
}

QByteArray Taliq485DebugTalker::cycle()
{
    const qint64 n = m_cycles++;
    QByteArray out;
    const double phase = 2.0 * std::numbers::pi * double(n) / kFillPeriodCycles;
    const bool falseEcho = n % kFalseEchoEvery == kFalseEchoEvery - 1;
    const int distance
        = int(kMeanDistanceMm + kSwingMm * std::sin(phase)) + jitter(3) - (falseEcho ? kFalseEchoMm : 0);
    const int rawDistance = distance + jitter(6);
    const int rawDistance2 = rawDistance + jitter(4);
    const int amplitude = 900 - distance / 8 + jitter(40);
    const int gain = 8 + distance / 400;
    const int zone = 1 + distance / 1500;
    const int timer = distance * kTimerPerMm + jitter(20);
    const int current = n % kCurrentOutputOffEvery == kCurrentOutputOffEvery - 1 ? 0 : 1;
    const int status = amplitude < kThreshold ? 2 : 0;

    if (kFilterNoiseEvery > 0 && n % kFilterNoiseEvery == 3)
        line(out,
            QStringLiteral("D: DIST filter %1 %2 %3")
                .arg(rawDistance)
                .arg(rawDistance2)
                .arg(distance)
                .toLatin1());
    if (n % kGainNoiseEvery == 5)
        line(out, QStringLiteral("Decreasing gain to %1").arg(gain - 1).toLatin1());

    line(out,
        QStringLiteral(
            "D %1 RD %2 RD2 %3 P %4 G %5 Z %6 A %7 Th %8 N %9 Ti %10 Tn %11 Tx %12 Tp %13 M %14 C %15 S %16")
            .arg(distance)
            .arg(rawDistance)
            .arg(rawDistance2)
            .arg(3 + int(m_random.bounded(3)))
            .arg(gain)
            .arg(zone)
            .arg(amplitude)
            .arg(kThreshold)
            .arg(8)
            .arg(timer)
            .arg(timer - kTimerWindow)
            .arg(timer + kTimerWindow)
            .arg(kTemperatureC + jitter(1))
            .arg(1)
            .arg(current)
            .arg(status)
            .toLatin1());

    if (m_lastDistanceMm != 0 && std::abs(distance - m_lastDistanceMm) > kJumpMm)
        line(out, QByteArrayLiteral("R_SEARCH : Occur jump"));
    if (n % kSearchReportEvery == 0) {
        m_searchDistanceMm = distance + jitter(15);
        // The value sits in the five characters from the 39th on, right-aligned.
        line(out,
            QStringLiteral("R_SEARCH : Current Search Distance =  %1").arg(m_searchDistanceMm, 5).toLatin1());
    }
    if (n % kQuickSearchEvery == kQuickSearchEvery - 1)
        line(out, QByteArrayLiteral("---> Enter to QuickSearch"));
    if (n % kSearchFailedEvery == kSearchFailedEvery - 1)
        line(out, QByteArrayLiteral("R_SEARCH : search is failed"));
    if (noiseEvery > 0 && n % noiseEvery == noiseEvery - 1) {
        QByteArray burst(kNoiseBurstBytes, '\0');
        for (char& c : burst)
            c = char(m_random.bounded(256));
        out += burst;
    }
    m_lastDistanceMm = distance;
    return out;
}

} // namespace velto::sim
