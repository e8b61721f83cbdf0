#pragma once

#include "sim/bootloader_responder.h"
#include "support/scripted_peer.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>

namespace velto::test {

// The sensor's flash bootloader on the far side of a pseudo-terminal: the simulated bootloader
// answers (its knobs force wrong answer codes), or nobody does; it can also flood the line or close it.
class ScriptedFlashPeer : public ScriptedPeer {
    Q_OBJECT
public:
    // A frame cut short is judged after the line has been this quiet.
    static constexpr int kQuietMs = 50;

    explicit ScriptedFlashPeer(QObject* parent = nullptr);
    ~ScriptedFlashPeer() override;

    sim::BootloaderResponder device;
    bool silent = false;
    int messagesHeard = 0;

signals:
    void messageHeard();

private:
    void onReadable() override;
    void sendAnswers();

    QTimer m_quiet;
    QByteArray m_buffer;
};

} // namespace velto::test
