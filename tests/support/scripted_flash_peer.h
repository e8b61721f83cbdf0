#pragma once

#include "sim/bootloader_responder.h"
#include "support/scripted_peer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

namespace velto::test {

// The sensor's flash bootloader on the far side of a pseudo-terminal: the simulated bootloader
// answers (its knobs force wrong, late, lost or repeated answers), or nobody does; an adapter may
// echo what the program sends; it can also flood the line or close it. Like a device it works one
// message at a time: an answer never overtakes the answer to an earlier message.
class ScriptedFlashPeer : public ScriptedPeer {
    Q_OBJECT
public:
    // A frame cut short is judged after the line has been this quiet.
    static constexpr int kQuietMs = 50;

    explicit ScriptedFlashPeer(QObject* parent = nullptr);
    ~ScriptedFlashPeer() override;

    sim::BootloaderResponder device;
    bool silent = false;
    // Everything the program sends comes straight back first, as from an RS-485 adapter.
    bool echo = false;
    int messagesHeard = 0;

signals:
    void messageHeard();

private:
    struct Due {
        qint64 atMs;
        QByteArray bytes;
    };

    void onReadable() override;
    void sendAnswers();
    void writeDue();

    QTimer m_quiet;
    QByteArray m_buffer;
    QElapsedTimer m_clock;
    QList<Due> m_due;
    qint64 m_busyUntilMs = 0;
    QTimer m_dueTimer;
};

} // namespace velto::test
