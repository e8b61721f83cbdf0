#pragma once

#include "sim/paced_writer.h"
#include "sim/pty_device_end.h"
#include "sim/replay_responder.h"
#include "sim/replay_script.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace velto::sim {

// A recorded session served as the far end of a pseudo-terminal: each request the program writes
// gets the answer recorded for it (ReplayResponder), the stream that followed no request plays on
// its own, over and over, and everything leaves at the pace of the line.
//
// Times are the recorded ones divided by the speed: 2 plays twice as fast, 0 sends answers at once
// (the stream then keeps its recorded pace, which is all it has). An answer recorded as it came
// over the wire is sent so that each chunk's last byte leaves when it arrived on the recording.
class ReplayLine : public QObject {
    Q_OBJECT
public:
    // Waiting bytes that make no request are taken as they stand after this long quiet.
    static constexpr int kQuietMs = 50;
    // Stream bytes are dropped while this many wait to go out: the line cannot carry the stream as
    // fast as it was recorded (another speed, nobody reading).
    static constexpr qsizetype kMaxStreamBacklog = 4096;

    ReplayLine(const ReplayScript& script, double speed, QObject* parent = nullptr);

    bool isValid() const { return m_pty.isValid(); }
    QString devicePath() const { return m_pty.location(); }
    QString errorText() const { return m_pty.errorText(); }

signals:
    // The program wrote a request the session never saw; it gets no answer.
    void unknownRequest(const QByteArray& bytes);
    // Bytes went out on the line.
    void replied(const QByteArray& bytes);

private:
    struct Due {
        qint64 ms;
        QByteArray bytes;
        bool stream;
    };

    void onReceived(const QByteArray& bytes);
    void handle(const QList<ReplayResponder::Outcome>& outcomes);
    void insert(Due due);
    void sendDue();
    void scheduleStream();
    qint64 scaled(qint64 ms, bool stream) const;
    qint64 wireMs(qsizetype bytes) const;

    PtyDeviceEnd m_pty;
    ReplayResponder m_responder;
    QList<ReplayChunk> m_stream;
    qint64 m_streamPeriodMs = 0;
    qsizetype m_streamNext = 0;
    qint64 m_streamLoopMs = 0; // when the current round of the stream began
    double m_speed;
    PacedWriter m_paced;
    QElapsedTimer m_clock;
    QList<Due> m_due; // by time, in the order scheduled among equals
    QTimer m_dueTimer;
    QTimer m_quiet;
};

} // namespace velto::sim
