#include "sim/paced_writer.h"

#include <algorithm>

namespace velto::sim {

namespace {
constexpr double kMsPerS = 1000.0;
// A stalled loop does not earn a burst bigger than this many ticks' worth.
constexpr double kMaxCreditTicks = 20.0;
} // namespace

PacedWriter::PacedWriter(
    std::function<qsizetype(QByteArrayView)> write, std::function<int()> charactersPerSecond, QObject* parent)
    : QObject(parent)
    , m_write(std::move(write))
    , m_charactersPerSecond(std::move(charactersPerSecond))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &PacedWriter::tick);
    m_clock.start();
}

void PacedWriter::enqueue(const QByteArray& bytes, int delayMs)
{
    if (bytes.isEmpty())
        return;
    m_queue.append({ bytes, std::max(delayMs, 0) });
    if (m_queue.size() == 1)
        startItem();
    if (!m_timer.isActive())
        m_timer.start();
}

qsizetype PacedWriter::pending() const
{
    qsizetype total = -m_done;
    for (const Item& item : m_queue)
        total += item.bytes.size();
    return std::max<qsizetype>(total, 0);
}

void PacedWriter::startItem()
{
    m_done = 0;
    m_credit = 0;
    m_lastMs = m_clock.elapsed();
    m_startMs = m_lastMs + m_queue.front().delayMs;
}

void PacedWriter::tick()
{
    const qint64 now = m_clock.elapsed();
    if (m_queue.isEmpty()) {
        m_timer.stop();
        return;
    }
    if (now < m_startMs) {
        m_lastMs = now;
        return;
    }
    const double perMs = std::max(m_charactersPerSecond(), 1) / kMsPerS;
    const qint64 since = now - std::max(m_lastMs, m_startMs);
    m_lastMs = now;
    m_credit = std::min(m_credit + since * perMs, perMs * kTickMs * kMaxCreditTicks);
    if (m_credit < 1 && m_done == 0)
        m_credit = 1; // the first character leaves as the reply starts

    const Item& item = m_queue.front();
    const qsizetype chunk = std::min<qsizetype>(qsizetype(m_credit), item.bytes.size() - m_done);
    if (chunk > 0) {
        const QByteArrayView part = QByteArrayView(item.bytes).sliced(m_done, chunk);
        const qsizetype taken = std::max<qsizetype>(m_write(part), 0);
        // A full line (nobody reading) loses what it cannot take, as a real line would.
        m_done += chunk;
        m_credit -= double(chunk);
        if (taken > 0)
            emit sent(part.first(taken).toByteArray());
    }
    if (m_done >= item.bytes.size()) {
        m_queue.removeFirst();
        if (m_queue.isEmpty()) {
            m_timer.stop();
            return;
        }
        startItem();
    }
}

} // namespace velto::sim
