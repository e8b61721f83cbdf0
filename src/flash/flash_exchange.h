#pragma once

#include "common/transition_outbox.h"
#include "flash/flash_response.h"
#include "flash/flash_timings.h"
#include "serial/byte_link.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace velto::flash {

// One message to the bootloader and its two-byte answer, tried up to four times, proving that the
// answer it accepts is the answer to this message. A try fails when no answer begins within the
// answer limit, when the answer is not accepted, when it is our own message coming back (an adapter
// that echoes), or when the line reports an error; before the retry the line must fall quiet, and
// what came meanwhile (a late answer to the failed try) is dropped. Bytes beyond one answer, or
// bytes while no answer is due, put the exchange out of step: it ends at once, never accepted.
//
// The messages of one operation follow each other: after an accepted answer the exchange stays
// Settled until the next start() or cancel(), and anything the device sends meanwhile is out of step.
class FlashExchange : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTries = 4;

    enum class State { Idle, Pausing, Awaiting, SlowWritePause, Quieting, Settled };
    enum class Outcome { Accepted, Rejected, WriteFailed, OutOfStep };

    FlashExchange(serial::ByteLink& link, const FlashTimings& timings = {}, QObject* parent = nullptr);

    // Starts the first try. `what` names the message in failure texts ("line 4 of 20", ">B0"). From
    // Idle whatever the line holds is stray and dropped; from Settled it is out of step.
    void start(const QByteArray& message, FlashRequest request, const QString& what = {});
    // Ends the operation: stops waiting and watching; finished() is not emitted.
    void cancel();

    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Idle && m_state != State::Settled; }
    int tries() const { return m_tries; }
    // Why the exchange failed: the send that failed (port closed or gone), or how it fell out of step.
    QString failureText() const { return m_failure; }

signals:
    // As each try goes out, with the message as sent.
    void messageSent(const QByteArray& message);
    void statusChanged(const QString& text);
    void responseMarked(const QString& mark);
    // Once per start(); while Settled, once more with OutOfStep when bytes come that nobody asked for.
    // The last judged answer goes with the outcome; for the other outcomes it is empty.
    void finished(velto::flash::FlashExchange::Outcome outcome, const velto::flash::FlashResponse& response);

private:
    enum class Event {
        StartAsked,
        CancelAsked,
        BytesArrived,
        PauseOver,
        TimeUp,
        SlowWriteOver,
        QuietOver,
        PortError
    };
    struct Message {
        QByteArray bytes;
        FlashRequest request = FlashRequest::Command;
        QString what;
    };
    // What the bytes received for this try make.
    enum class Reading { NeedMore, Echo, Answer, TooMany };

    // Every change of state; `text` says what the port reported.
    void advance(Event event, const QString& text = {});
    void begin();
    void sendTry();
    void collect();
    Reading reading() const;
    void act(Reading reading);
    void judge();
    void tryFailed(const QString& why);
    void waitForQuiet();
    void outOfStep(const QString& why);
    void report(const FlashResponse& response);
    void finish(Outcome outcome);
    // A text signal, sent once the transition has settled.
    void post(void (FlashExchange::*signal)(const QString&), const QString& text);
    void stopTimers();
    QString describeAnswer() const;

    serial::ByteLink& m_link;
    FlashTimings m_timings;
    State m_state = State::Idle;
    // What start() asked for, taken up once the line is found in step.
    Message m_asked;
    QByteArray m_message;
    FlashRequest m_request = FlashRequest::Command;
    QString m_what;
    int m_tries = 0;
    QByteArray m_answer;
    FlashResponse m_response;
    QString m_failure;
    QTimer m_pauseTimer;
    QTimer m_deadline;
    QTimer m_slowWriteTimer;
    QTimer m_quietTimer;
    TransitionOutbox m_outbox;
};

} // namespace velto::flash
