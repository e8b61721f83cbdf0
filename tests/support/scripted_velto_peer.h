#pragma once

#include "support/scripted_peer.h"

#include <QByteArray>
#include <QObject>

#include <memory>

namespace velto::test {

// A single Velto ASCII sensor on the far side of a pseudo-terminal that answers as a test sets it:
// right, in the name of another address, or not at all; it can also flood the line or close it.
// Requests that do not name its address get no answer, as on a real bus.
class ScriptedVeltoPeer : public ScriptedPeer {
    Q_OBJECT
public:
    explicit ScriptedVeltoPeer(int address = 1, QObject* parent = nullptr);
    ~ScriptedVeltoPeer() override;

    int address;
    bool silent = false;
    int addressShift = 0; // replies name address + shift
    // What the sensor reads, in millimetres and whole degrees.
    qint32 distanceMm = 1250;
    qint32 tankHeightMm = 4000;
    qint32 levelMm = 2750;
    qint32 temperatureC = 21;
    int requestsHeard = 0; // well-formed requests, to any address

signals:
    void requestHeard();

private:
    void onReadable() override;
    void answer(QByteArrayView frame);

    QByteArray m_buffer;
};

} // namespace velto::test
