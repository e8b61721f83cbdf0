#include "support/scripted_peer.h"

#include <QSocketNotifier>

namespace velto::test {

ScriptedPeer::ScriptedPeer(QObject* parent)
    : QObject(parent)
{
    if (!m_line.isValid())
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_line.masterFd(), QSocketNotifier::Read);
    // Activated only from the event loop, so the derived peer is whole by then.
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { onReadable(); });
}

ScriptedPeer::~ScriptedPeer() = default;

void ScriptedPeer::closeLine()
{
    m_flood.reset();
    m_notifier.reset();
    m_line.closeKeeper();
    m_line.closeMaster();
}

void ScriptedPeer::startFlood()
{
    if (!m_line.isValid())
        return;
    if (!m_flood)
        m_flood = std::make_unique<LineFlood>(m_line.masterFd());
    m_flood->start();
}

void ScriptedPeer::stopFlood()
{
    if (m_flood)
        m_flood->stop();
}

} // namespace velto::test
