#pragma once

#include "support/scripted_peer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QQueue>

#include <memory>

namespace velto::test {

// A Modbus RTU slave on the far side of a pseudo-terminal that answers as a test scripts it: right,
// short, late, as another slave, with a wrong echo, not at all, after garbage, in pieces, or holding
// an answer back to send it just before the next one; and its line may echo every byte the program
// sends, as an RS-485 adapter that hears its own transmitter does. Qt's own server only ever
// answers right. It knows Read Holding
// Registers, Write Single Register and Write Multiple Registers; requests to other addresses get no
// answer, as on a real bus.
class ScriptedRtuPeer : public ScriptedPeer {
    Q_OBJECT
public:
    struct Request {
        quint8 slave;
        quint8 function;
        quint16 start;
        quint16 count; // registers read or written
        QList<quint16> values; // written values
    };

    // How one request is answered; the defaults answer it right at once.
    struct Answer {
        int delayMs = 0;
        bool silent = false;
        // Not sent now, but right before the next answer, in the same write.
        bool holdBack = false;
        int slaveShift = 0; // the answer names slave + shift
        int countShift = 0; // a read answers count + shift registers
        int registerShift = 0; // a write's echo names start + shift
        int echoCountShift = 0; // a multiple write's echo names count + shift
        QByteArray before; // sent right before the answer, in the same write
        int pieceBytes = 0; // the answer leaves in pieces of this many bytes, pieceGapMs apart
        int pieceGapMs = 0;
        int againAfterMs = -1; // the same answer once more, this long after the first (0: in the same write)
    };

    explicit ScriptedRtuPeer(int address = 1, QObject* parent = nullptr);
    ~ScriptedRtuPeer() override;

    int address;
    QList<quint16> registers; // holding registers 0.., absent ones read 0
    QQueue<Answer> script; // one entry per request, in order
    Answer otherwise; // for requests the script no longer covers
    QList<Request> requests; // every well-formed request seen, for any slave
    bool echo = false; // every byte the program sends comes straight back

signals:
    void requestReceived(int index);
    void answered(const QByteArray& bytes);

private:
    void onReadable() override;
    void handle(const QByteArray& frame);
    QByteArray answerFor(const Request& request, const Answer& how);
    void send(QByteArray bytes, int delayMs);

    QByteArray m_buffer;
    QByteArray m_held;
};

} // namespace velto::test
