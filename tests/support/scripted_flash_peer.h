#pragma once

#include "sim/bootloader_responder.h"
#include "support/line_flood.h"
#include "support/pty_pair.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace velto::test {

// The sensor's flash bootloader on the far side of a pseudo-terminal: the simulated bootloader
// answers (its knobs force wrong answer codes), or nobody does; it can also flood the line or close it.
class ScriptedFlashPeer : public QObject {
    Q_OBJECT
public:
    // A frame cut short is judged after the line has been this quiet.
    static constexpr int kQuietMs = 50;

    explicit ScriptedFlashPeer(QObject* parent = nullptr);
    ~ScriptedFlashPeer() override;

    bool isValid() const { return m_line.isValid(); }
    QString devicePath() const { return m_line.slavePath(); }

    sim::BootloaderResponder device;
    bool silent = false;
    int messagesHeard = 0;

    void closeLine();
    void startFlood();
    void stopFlood();

signals:
    void messageHeard();

private:
    void onReadable();
    void sendAnswers();

    PtyPair m_line;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<LineFlood> m_flood;
    QTimer m_quiet;
    QByteArray m_buffer;
};

} // namespace velto::test
