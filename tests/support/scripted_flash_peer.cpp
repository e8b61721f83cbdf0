#include "support/scripted_flash_peer.h"

#include <algorithm>

namespace velto::test {

ScriptedFlashPeer::ScriptedFlashPeer(QObject* parent)
    : ScriptedPeer(parent)
{
    m_clock.start();
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (device.ownsLine()) {
            device.lineIdle();
            sendAnswers();
        } else {
            m_buffer.clear();
        }
    });
    m_dueTimer.setSingleShot(true);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_dueTimer, &QTimer::timeout, this, &ScriptedFlashPeer::writeDue);
}

ScriptedFlashPeer::~ScriptedFlashPeer() = default;

void ScriptedFlashPeer::onReadable()
{
    const QByteArray bytes = m_line.readMasterNow();
    if (bytes.isEmpty())
        return;
    if (echo)
        m_line.writeMaster(bytes);
    m_quiet.start();
    device.heardAt(m_clock.elapsed());
    if (device.ownsLine()) {
        device.feed(bytes);
    } else {
        m_buffer += bytes;
        while (!m_buffer.isEmpty()) {
            const qsizetype length = sim::BootloaderResponder::frameLength(m_buffer);
            if (length < 0) {
                m_buffer.remove(0, 1);
                continue;
            }
            if (length == 0)
                break;
            device.respond(QByteArrayView(m_buffer).first(length));
            m_buffer.remove(0, length);
            ++messagesHeard;
            emit messageHeard();
            sendAnswers();
            // A ">B0" hands the rest of the line to the burn.
            if (device.ownsLine() && !m_buffer.isEmpty()) {
                device.feed(m_buffer);
                m_buffer.clear();
            }
        }
    }
    sendAnswers();
}

void ScriptedFlashPeer::sendAnswers()
{
    const QList<sim::ScheduledReply> replies = device.takeAnswers();
    if (replies.isEmpty())
        return;
    // The device takes this message up once it has answered the one before.
    const qint64 start = std::max(m_clock.elapsed(), m_busyUntilMs);
    for (const sim::ScheduledReply& reply : replies) {
        const qint64 at = start + std::max(0, reply.delayMs);
        m_busyUntilMs = std::max(m_busyUntilMs, at);
        const auto place = std::upper_bound(
            m_due.begin(), m_due.end(), at, [](qint64 t, const Due& d) { return t < d.atMs; });
        m_due.insert(place, { at, reply.bytes });
    }
    writeDue();
}

void ScriptedFlashPeer::writeDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_due.isEmpty() && m_due.first().atMs <= now) {
        const QByteArray bytes = m_due.takeFirst().bytes;
        if (!silent && lineOpen())
            m_line.writeMaster(bytes);
    }
    if (!m_due.isEmpty())
        m_dueTimer.start(int(m_due.first().atMs - now));
}

} // namespace velto::test
