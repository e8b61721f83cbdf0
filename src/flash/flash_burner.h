#pragma once

#include "common/prompter.h"
#include "common/transition_outbox.h"
#include "flash/flash_exchange.h"
#include "flash/flash_result.h"
#include "flash/flash_timings.h"
#include "flash/hex_order_runner.h"
#include "serial/byte_link.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

namespace velto::flash {

struct BurnRequest {
    QString hexPath;
    // Erase the flash (">B4") before the burn; the burn goes on whatever the erase answers.
    bool erase = false;
    // Run the converter on the file first (once per file choice).
    bool runConverter = false;
    QString converterProgram;
};

// The flash operations of the bootloader: burning a HEX file, and the stand-alone erase and test.
// One operation at a time; every step is started by a call, an answer, a timer or the converter, in
// advance(). It emits the texts a window shows and never waits on the caller's thread.
//
// A burn: converter (when asked) -> file read and checked -> erase (when asked) -> ">B0" -> each
// line -> a pause -> "Flash Burning Succeeded". A converter that fails, or a file that cannot be
// read or is not a whole HEX file, ends it before anything is sent. The exchanges of one operation
// prove each answer to be their own; one out of step ends the operation as a failure.
class FlashBurner : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Converting, Erasing, Starting, Sending, Finishing, Command };

    explicit FlashBurner(serial::ByteLink& link, const FlashTimings& timings = {}, QObject* parent = nullptr);

    // Each is ignored while another operation runs.
    void burn(const BurnRequest& request);
    void eraseFlash();
    void testFlash();
    // Drops the operation where it stands: no more sends, the converter is ended. Says what it left
    // behind (the flash incomplete) in the status, the transcript and the result.
    void stop();
    // What is running, for a question before it is stopped; empty when idle.
    QString runningText() const;

    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Idle; }
    int lineCount() const { return int(m_lines.size()); }
    // The running operation's result so far, or the last one's once it has ended.
    const FlashResult& result() const { return m_result; }
    FlashExchange& exchange() { return m_exchange; }

signals:
    void statusChanged(const QString& text);
    // A message sent or the mark of an answer, one transcript line each.
    void transcriptEntry(const QString& text);
    void progressRangeChanged(int minimum, int maximum);
    void progressChanged(int value);
    void progressVisibleChanged(bool visible);
    void busyChanged(bool busy);
    void converterRunning(bool running);
    void messageBox(const QString& text, const QString& title, velto::Prompter::Icon icon);
    // A failure worth a row beside the line's bytes in the traffic monitor: a stop, an exchange out
    // of step.
    void trafficNote(const QString& text);
    void finished(const velto::flash::FlashResult& result);

private:
    enum class Event {
        BurnAsked,
        EraseAsked,
        TestAsked,
        StopAsked,
        ConverterStarted,
        ConverterFailedToStart,
        ConverterFailed,
        ConverterDone,
        // The converter has had its turn, or none was asked for: the file is read now.
        FileDue,
        Accepted,
        Rejected,
        WriteFailed,
        OutOfStep,
        FinishPauseOver,
    };

    // Every change of state; `text` is the converter's complaint, `response` the exchange's answer.
    void advance(Event event, const QString& text = {}, const FlashResponse& response = {});
    void begin(State state, FlashResult::Operation operation);
    void readFile();
    void startCommand(const QByteArray& command);
    void startBurning();
    void sendLine();
    void converterEnded();
    void abort();
    void outOfStep();
    void end(bool accepted);
    void onExchangeFinished(FlashExchange::Outcome outcome, const FlashResponse& response);
    void sayUnknownCommandAnswer(const FlashResponse& response);
    void postStatus(const QString& text);
    void postTranscript(const QString& text);
    QString lineName() const;
    QString stopStatus() const;
    QString stopText() const;

    FlashTimings m_timings;
    FlashExchange m_exchange;
    HexOrderRunner m_converter;
    QTimer m_finishTimer;
    State m_state = State::Idle;
    BurnRequest m_request;
    FlashResult m_result;
    QList<QByteArray> m_lines;
    qsizetype m_next = 0;
    bool m_converterStarted = false;
    TransitionOutbox m_outbox;
};

} // namespace velto::flash
