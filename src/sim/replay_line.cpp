#include "sim/replay_line.h"

#include <algorithm>
#include <limits>

namespace velto::sim {

namespace {
constexpr double kMsPerSecond = 1000.0;
// A stream of one chunk repeats this often.
constexpr qint64 kSingleChunkPeriodMs = 1000;
// A speed near zero must not stretch a delay past what a timer and a qint64 can hold.
constexpr double kLongestDelayMs = 24.0 * 60 * 60 * 1000;
} // namespace

ReplayLine::ReplayLine(const ReplayScript& script, double speed, QObject* parent)
    : QObject(parent)
    , m_responder(script)
    , m_stream(script.stream)
    , m_speed(std::max(speed, 0.0))
    , m_paced([this](QByteArrayView bytes) { return m_pty.write(bytes); },
          [this] { return m_pty.charactersPerSecond(); })
{
    m_clock.start();
    connect(&m_pty, &PtyDeviceEnd::received, this, &ReplayLine::onReceived);
    connect(&m_paced, &PacedWriter::sent, this, &ReplayLine::replied);
    m_dueTimer.setSingleShot(true);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_dueTimer, &QTimer::timeout, this, &ReplayLine::sendDue);
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, [this] { handle(m_responder.lineQuiet()); });

    if (!m_stream.isEmpty()) {
        // One round of the stream lasts from its first chunk to its last, plus the mean time between
        // two, so the next round follows as the recording went on.
        const qint64 span = m_stream.last().atMs - m_stream.first().atMs;
        m_streamPeriodMs = m_stream.size() == 1 ? kSingleChunkPeriodMs
                                                : span + std::max<qint64>(1, span / (m_stream.size() - 1));
        scheduleStream();
        sendDue();
    }
}

void ReplayLine::onReceived(const QByteArray& bytes)
{
    handle(m_responder.feed(bytes));
    if (m_responder.hasPending())
        m_quiet.start();
    else
        m_quiet.stop();
}

void ReplayLine::handle(const QList<ReplayResponder::Outcome>& outcomes)
{
    const qint64 now = m_clock.elapsed();
    for (const ReplayResponder::Outcome& outcome : outcomes) {
        if (!outcome.answer) {
            emit unknownRequest(outcome.request);
            continue;
        }
        qint64 previousDue = now;
        for (const ReplayChunk& chunk : *outcome.answer) {
            // A chunk starts its time on the wire before it arrived in the recording, and never before
            // the one it followed.
            const qint64 due
                = std::max(previousDue, now + scaled(chunk.atMs, false) - wireMs(chunk.bytes.size()));
            insert({ due, chunk.bytes, false });
            previousDue = due;
        }
    }
    sendDue();
}

void ReplayLine::insert(Due due)
{
    const auto at = std::upper_bound(
        m_due.begin(), m_due.end(), due.ms, [](qint64 ms, const Due& d) { return ms < d.ms; });
    m_due.insert(at, std::move(due));
}

void ReplayLine::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_due.isEmpty() && m_due.first().ms <= now) {
        const Due due = m_due.takeFirst();
        if (!due.stream)
            m_paced.enqueue(due.bytes, 0);
        else {
            if (m_paced.pending() < kMaxStreamBacklog)
                m_paced.enqueue(due.bytes, 0);
            scheduleStream();
        }
    }
    if (!m_due.isEmpty())
        m_dueTimer.start(int(std::min<qint64>(m_due.first().ms - now, std::numeric_limits<int>::max())));
}

void ReplayLine::scheduleStream()
{
    if (m_streamNext >= m_stream.size()) {
        m_streamNext = 0;
        const qint64 period = std::max<qint64>(1, scaled(m_streamPeriodMs, true));
        m_streamLoopMs += period;
        // A loop that was held up starts its next round now instead of racing to catch up.
        m_streamLoopMs = std::max(m_streamLoopMs, m_clock.elapsed() - period);
    }
    const ReplayChunk& chunk = m_stream.at(m_streamNext++);
    insert({ m_streamLoopMs + scaled(chunk.atMs - m_stream.first().atMs, true), chunk.bytes, true });
}

qint64 ReplayLine::scaled(qint64 ms, bool stream) const
{
    ms = std::max<qint64>(ms, 0);
    if (m_speed <= 0)
        return stream ? ms : 0;
    return qint64(std::min(double(ms) / m_speed, kLongestDelayMs));
}

qint64 ReplayLine::wireMs(qsizetype bytes) const
{
    return qint64(double(bytes) * kMsPerSecond / m_pty.charactersPerSecond());
}

} // namespace velto::sim
