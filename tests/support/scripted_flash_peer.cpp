#include "support/scripted_flash_peer.h"

#include <QSocketNotifier>

namespace velto::test {

ScriptedFlashPeer::ScriptedFlashPeer(QObject* parent)
    : QObject(parent)
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
    if (!m_line.isValid())
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_line.masterFd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &ScriptedFlashPeer::onReadable);
}

ScriptedFlashPeer::~ScriptedFlashPeer() = default;

void ScriptedFlashPeer::closeLine()
{
    m_flood.reset();
    m_notifier.reset();
    m_line.closeKeeper();
    m_line.closeMaster();
}

void ScriptedFlashPeer::startFlood()
{
    if (!m_line.isValid())
        return;
    if (!m_flood)
        m_flood = std::make_unique<LineFlood>(m_line.masterFd());
    m_flood->start();
}

void ScriptedFlashPeer::stopFlood()
{
    if (m_flood)
        m_flood->stop();
}

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
