#include "flash/flash_exchange.h"

#include "flash/comm_event_text.h"
#include "flash/flash_texts.h"

namespace velto::flash {

FlashExchange::FlashExchange(serial::ByteLink& link, const FlashTimings& timings, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_timings(timings)
{
    for (QTimer* t : { &m_pauseTimer, &m_deadline, &m_slowWriteTimer })
        t->setSingleShot(true);
    m_pauseTimer.setObjectName(QStringLiteral("FlashCommandPauseTimer"));
    m_deadline.setObjectName(QStringLiteral("FlashAnswerTimer"));
    m_slowWriteTimer.setObjectName(QStringLiteral("FlashSlowWriteTimer"));
    connect(&m_pauseTimer, &QTimer::timeout, this, [this] { advance(Event::PauseOver); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { advance(Event::TimeUp); });
    connect(&m_slowWriteTimer, &QTimer::timeout, this, [this] { advance(Event::SlowWriteOver); });
    connect(&m_link, &serial::ByteLink::readyRead, this, [this] { advance(Event::BytesArrived); });
    connect(&m_link, &serial::ByteLink::portError, this, &FlashExchange::onPortError);
}

void FlashExchange::start(const QByteArray& message, FlashRequest request)
{
    cancel();
    m_message = message;
    m_request = request;
    m_tries = 0;
    m_response = {};
    m_writeFailure.clear();
    sendTry();
}

void FlashExchange::cancel()
{
    stopTimers();
    m_state = State::Idle;
}

void FlashExchange::advance(Event event)
{
    switch (m_state) {
    case State::Idle:
        // Bytes between exchanges stay in the link; the next try drops them.
        return;
    case State::Pausing:
        switch (event) {
        case Event::BytesArrived:
            collect();
            return;
        case Event::PauseOver:
            if (m_answer.size() >= 2)
                judge();
            else
                m_state = State::Awaiting;
            return;
        case Event::TimeUp:
        case Event::LineFailed:
            tryFailed();
            return;
        case Event::SlowWriteOver:
            return;
        }
        return;
    case State::Awaiting:
        switch (event) {
        case Event::BytesArrived:
            collect();
            if (m_answer.size() >= 2)
                judge();
            return;
        case Event::TimeUp:
        case Event::LineFailed:
            tryFailed();
            return;
        case Event::PauseOver:
        case Event::SlowWriteOver:
            return;
        }
        return;
    case State::SlowWritePause:
        if (event == Event::SlowWriteOver) {
            report(m_response);
            if (m_state != State::Idle)
                finish(Outcome::Accepted);
        }
        return;
    }
}

void FlashExchange::sendTry()
{
    ++m_tries;
    m_answer.clear();
    // Whatever is left over belongs to an earlier message.
    m_link.readAll();
    // Waiting begins before the write: a peer may answer before write() returns.
    m_state = m_request == FlashRequest::Command ? State::Pausing : State::Awaiting;
    emit messageSent(m_message);
    if (m_state == State::Idle)
        return; // cancelled by a listener
    m_deadline.start(m_timings.answerLimitMs);
    if (m_state == State::Pausing)
        m_pauseTimer.start(m_timings.commandPauseMs);
    if (m_link.write(m_message))
        return;
    // A closed port stays closed: trying again cannot help.
    m_writeFailure
        = m_link.errorText().isEmpty() ? QStringLiteral("Serial port is not open") : m_link.errorText();
    finish(Outcome::WriteFailed);
}

void FlashExchange::collect()
{
    m_answer += m_link.readAll();
}

void FlashExchange::judge()
{
    stopTimers();
    m_response = judgeFlashResponse(m_answer, m_request);
    if (m_response.accepted && m_response.pauseFirst) {
        m_state = State::SlowWritePause;
        m_slowWriteTimer.start(m_timings.slowWritePauseMs);
        return;
    }
    report(m_response);
    if (m_state == State::Idle)
        return; // cancelled by a listener
    if (m_response.accepted)
        finish(Outcome::Accepted);
    else
        tryFailed();
}

void FlashExchange::tryFailed()
{
    stopTimers();
    if (m_tries < kMaxTries) {
        sendTry();
        return;
    }
    emit statusChanged(kRetryFourTimesText);
    finish(Outcome::Rejected);
}

void FlashExchange::report(const FlashResponse& response)
{
    if (response.statusText)
        emit statusChanged(*response.statusText);
    if (!response.mark.isEmpty())
        emit responseMarked(response.mark);
}

void FlashExchange::finish(Outcome outcome)
{
    stopTimers();
    m_state = State::Idle;
    emit finished(outcome, outcome == Outcome::WriteFailed ? FlashResponse {} : m_response);
}

void FlashExchange::stopTimers()
{
    m_pauseTimer.stop();
    m_deadline.stop();
    m_slowWriteTimer.stop();
}

void FlashExchange::onPortError(QSerialPort::SerialPortError error)
{
    if (m_state != State::Pausing && m_state != State::Awaiting)
        return;
    emit statusChanged(commEventText(error).value_or(m_link.errorText()));
    advance(Event::LineFailed);
}

} // namespace velto::flash
