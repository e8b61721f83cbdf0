#include "support/scripted_flash_peer.h"

namespace velto::test {

ScriptedFlashPeer::ScriptedFlashPeer(QObject* parent)
    : ScriptedPeer(parent)
{
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
}

ScriptedFlashPeer::~ScriptedFlashPeer() = default;

void ScriptedFlashPeer::onReadable()
{
    const QByteArray bytes = m_line.readMasterNow();
    if (bytes.isEmpty())
        return;
    m_quiet.start();
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
    for (const sim::ScheduledReply& reply : device.takeAnswers()) {
        if (!silent)
            m_line.writeMaster(reply.bytes);
    }
}

} // namespace velto::test
