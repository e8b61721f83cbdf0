#pragma once

#include "support/line_flood.h"
#include "support/pty_pair.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace velto::test {

// A single Velto ASCII sensor on the far side of a pseudo-terminal that answers as a test sets it:
// right, in the name of another address, or not at all; it can also flood the line or close it.
// Requests that do not name its address get no answer, as on a real bus.
class ScriptedVeltoPeer : public QObject {
    Q_OBJECT
public:
    explicit ScriptedVeltoPeer(int address = 1, QObject* parent = nullptr);
    ~ScriptedVeltoPeer() override;

    bool isValid() const { return m_line.isValid(); }
    QString devicePath() const { return m_line.slavePath(); }

    int address;
    bool silent = false;
    int addressShift = 0; // replies name address + shift
    // What the sensor reads, in millimetres and whole degrees.
    qint32 distanceMm = 1250;
    qint32 tankHeightMm = 4000;
    qint32 levelMm = 2750;
    qint32 temperatureC = 21;
    int requestsHeard = 0; // well-formed requests, to any address

    void closeLine();
    void startFlood();
    void stopFlood();

signals:
    void requestHeard();

private:
    void onReadable();
    void answer(QByteArrayView frame);

    PtyPair m_line;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<LineFlood> m_flood;
    QByteArray m_buffer;
};

} // namespace velto::test
