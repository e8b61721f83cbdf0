#pragma once

#include "flash/flash_response.h"
#include "flash/flash_timings.h"
#include "serial/byte_link.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace velto::flash {

// One message to the bootloader and its two-byte answer, tried up to four times. A try fails when no
// answer begins within the answer limit, when the answer is not accepted, or when the line reports
// an error; the answer is judged as soon as its two bytes are there, however they were split.
class FlashExchange : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTries = 4;

    enum class State { Idle, Pausing, Awaiting, SlowWritePause };
    enum class Outcome { Accepted, Rejected, WriteFailed };

    FlashExchange(serial::ByteLink& link, const FlashTimings& timings = {}, QObject* parent = nullptr);

    // Starts the first try; an exchange still running is dropped.
    void start(const QByteArray& message, FlashRequest request);
    // Stops waiting; finished() is not emitted.
    void cancel();

    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Idle; }
    int tries() const { return m_tries; }
    // The text of a send that failed (port closed or gone).
    QString writeFailureText() const { return m_writeFailure; }

signals:
    // Before each try goes out, with the message as sent.
    void messageSent(const QByteArray& message);
    void statusChanged(const QString& text);
    void responseMarked(const QString& mark);
    // The last judged answer goes with the outcome; for a write failure it is empty.
    void finished(velto::flash::FlashExchange::Outcome outcome, const velto::flash::FlashResponse& response);

private:
    enum class Event { BytesArrived, PauseOver, TimeUp, LineFailed, SlowWriteOver };

    void advance(Event event);
    void sendTry();
    void collect();
    void judge();
    void tryFailed();
    void report(const FlashResponse& response);
    void finish(Outcome outcome);
    void stopTimers();
    void onPortError(QSerialPort::SerialPortError error);

    serial::ByteLink& m_link;
    FlashTimings m_timings;
    State m_state = State::Idle;
    QByteArray m_message;
    FlashRequest m_request = FlashRequest::Command;
    int m_tries = 0;
    QByteArray m_answer;
    FlashResponse m_response;
    QString m_writeFailure;
    QTimer m_pauseTimer;
    QTimer m_deadline;
    QTimer m_slowWriteTimer;
};

} // namespace velto::flash
