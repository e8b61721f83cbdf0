#pragma once

#include "support/line_flood.h"
#include "support/pty_pair.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace velto::test {

// The far side of a pseudo-terminal where a test scripts a device: it hears what the program sends,
// and it can pour random bytes onto the line or hang up.
class ScriptedPeer : public QObject {
public:
    ~ScriptedPeer() override;

    bool isValid() const { return m_line.isValid(); }
    // The device the program opens.
    QString devicePath() const { return m_line.slavePath(); }

    // The far end goes away: the program's side of the line fails.
    virtual void closeLine();
    // Random bytes pour onto the line until stopped; what the program sends is still heard.
    void startFlood();
    void stopFlood();

protected:
    explicit ScriptedPeer(QObject* parent);
    // Called when the program's bytes can be read from `m_line`.
    virtual void onReadable() = 0;
    bool lineOpen() const { return m_notifier != nullptr; }

    PtyPair m_line;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<LineFlood> m_flood;
};

} // namespace velto::test
