#pragma once

#include "common/clock.h"
#include "serial/byte_link.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace velto::radar {

// The radar's side of the shared byte link: sends a command frame with the RS-485 turn-around (RTS
// high before the frame, low once it has left the line plus the RTS Delay hold), collects whatever
// arrives while Timer_Rx runs, and hands the whole of it over when Timer_Rx fires. Never blocks.
class RadarLink : public QObject {
    Q_OBJECT
public:
    // The RTS Delay box counts iterations of an empty loop; here each count holds the line for a
    // nominal 10 ns, so the default 250000 holds 2.5 ms and the largest 10000000 holds 100 ms.
    static constexpr qint64 kRtsDelayCountsPerUs = 100;
    // Far more than the longest reply (15980 bytes) with noise before it; a babbling line is cut off.
    static constexpr qsizetype kMaxReplyBytes = 65536;

    // `timerRx` is the controller's Timer_Rx.
    RadarLink(serial::ByteLink& link, QTimer& timerRx, const Clock& clock, QObject* parent = nullptr);

    // "9600,n,8,1": the bit time of the turn-around. Unparsable text keeps the previous settings.
    void setLineSettings(const QString& settings);
    void setRtsDelayCount(qint64 count) { m_rtsDelayCount = count; }

    // radarStartTime: the times below count from here.
    void restartClock();
    qint64 msSinceStart() const;

    // Raises RTS, arms Timer_Rx for `intervalMs`, stamps sendTime and writes the frame. False when
    // the link refused the bytes (closed port); Timer_Rx still runs, so the reply is judged missing.
    bool send(const QByteArray& frame, int intervalMs);
    // The reply has been judged: Timer_Rx stops and bytes arriving later are dropped.
    void finishReply();
    bool awaitingReply() const { return m_collecting && m_timerRx && m_timerRx->isActive(); }

    // Milliseconds since radarStartTime at the last send and at the last Timer_Rx tick.
    qint64 sendMs() const { return m_sendMs; }
    qint64 receiveMs() const { return m_receiveMs; }

    bool rts() const { return m_rts; }
    // From the driver taking the frame to RTS low: the frame's transmit time plus the hold.
    int turnAroundMs(qsizetype frameBytes) const;
    // How long `bytes` take on the line at its pace.
    int transferMs(qsizetype bytes) const;
    // The first look since the send begins with the frame sent: the adapter echoed it. A look too
    // short to hold the whole frame counts once it is long enough to be taken for a reply.
    bool beganWithOwnFrame(const QByteArray& buffer) const;
    QTimer* timerRx() { return m_timerRx; }
    serial::ByteLink& byteLink() { return m_link; }

public slots:
    // Timer_Rx fired: hands over what arrived. Tests that drive the link by hand call it directly.
    void Timer_Rx_Timer();

signals:
    // Timer_Rx fired; `buffer` is everything received since the send (or since the last tick).
    void replyDue(const QByteArray& buffer);
    // Line traffic for a trace: frames sent and chunks received.
    void traffic(bool sent, const QByteArray& bytes);
    void rtsChanged(bool on);

private:
    void onReadyRead();
    void onBytesWritten(qint64 bytes);
    void setRts(bool on);

    serial::ByteLink& m_link;
    // The controller's Timer_Rx, which goes before the link when the controller does.
    QPointer<QTimer> m_timerRx;
    const Clock& m_clock;
    QTimer m_rtsHold;
    QByteArray m_buffer;
    QByteArray m_frame;
    int m_looks = 0;
    qint64 m_startMs = 0;
    qint64 m_sendMs = 0;
    qint64 m_receiveMs = 0;
    qint64 m_rtsDelayCount = 250000;
    qint64 m_unsentBytes = 0;
    qsizetype m_frameBytes = 0;
    int m_baud = 9600;
    int m_bitsPerCharacter = 10;
    bool m_rts = false;
    bool m_collecting = false;
};

} // namespace velto::radar
