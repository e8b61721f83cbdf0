#include "flash/flash_exchange.h"

#include "flash/comm_event_text.h"
#include "flash/flash_texts.h"
#include "serial/own_echo.h"

namespace velto::flash {

namespace {
constexpr qsizetype kAnswerSize = 2;
// Bytes shown of what put an exchange out of step; a flood is not worth more.
constexpr qsizetype kShownBytes = 16;

QString hexBytes(const QByteArray& bytes)
{
    QString text = QString::fromLatin1(bytes.first(std::min(bytes.size(), kShownBytes)).toHex(' ').toUpper());
    if (bytes.size() > kShownBytes)
        text += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    return text;
}
} // namespace

FlashExchange::FlashExchange(serial::ByteLink& link, const FlashTimings& timings, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_timings(timings)
{
    for (QTimer* t : { &m_pauseTimer, &m_deadline, &m_slowWriteTimer, &m_quietTimer }) {
        t->setSingleShot(true);
        // They bound a device's answer or time a pause it needs: a coarse timer fires up to 5 % early.
        t->setTimerType(Qt::PreciseTimer);
    }
    m_pauseTimer.setObjectName(QStringLiteral("FlashCommandPauseTimer"));
    m_deadline.setObjectName(QStringLiteral("FlashAnswerTimer"));
    m_slowWriteTimer.setObjectName(QStringLiteral("FlashSlowWriteTimer"));
    m_quietTimer.setObjectName(QStringLiteral("FlashRetryQuietTimer"));
    connect(&m_pauseTimer, &QTimer::timeout, this, [this] { advance(Event::PauseOver); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { advance(Event::TimeUp); });
    connect(&m_slowWriteTimer, &QTimer::timeout, this, [this] { advance(Event::SlowWriteOver); });
    connect(&m_quietTimer, &QTimer::timeout, this, [this] { advance(Event::QuietOver); });
    connect(&m_link, &serial::ByteLink::readyRead, this, [this] { advance(Event::BytesArrived); });
    connect(&m_link, &serial::ByteLink::portError, this, [this](QSerialPort::SerialPortError error) {
        advance(Event::PortError, commEventText(error).value_or(m_link.errorText()));
    });
}

void FlashExchange::start(const QByteArray& message, FlashRequest request, const QString& what)
{
    m_asked = { message, request, what };
    advance(Event::StartAsked);
}

void FlashExchange::cancel()
{
    advance(Event::CancelAsked);
}

void FlashExchange::advance(Event event, const QString& text)
{
    // Both are taken in every state.
    if (event == Event::CancelAsked) {
        // What was still to be said belonged to the exchange that ends here.
        m_outbox.drop();
        stopTimers();
        m_state = State::Idle;
        return;
    }
    if (event == Event::StartAsked) {
        begin();
        m_outbox.deliver();
        return;
    }
    switch (m_state) {
    case State::Idle:
        // Bytes between operations stay in the link; the next operation drops them.
        break;
    case State::Pausing:
    case State::Awaiting:
        if (event == Event::BytesArrived) {
            collect();
            const Reading r = reading();
            // While pausing, an echo or a second answer is plain now; an answer waits for the pause.
            if (m_state == State::Awaiting || r == Reading::Echo || r == Reading::TooMany)
                act(r);
        } else if (event == Event::PauseOver && m_state == State::Pausing) {
            if (const Reading r = reading(); r == Reading::NeedMore)
                m_state = State::Awaiting;
            else
                act(r);
        } else if (event == Event::TimeUp) {
            tryFailed(m_answer.isEmpty() ? QStringLiteral("no answer") : describeAnswer());
        } else if (event == Event::PortError) {
            post(&FlashExchange::statusChanged, text);
            tryFailed(text);
        }
        break;
    case State::SlowWritePause:
        if (event == Event::BytesArrived) {
            const QByteArray extra = m_link.readAll();
            outOfStep(QStringLiteral("bytes while the device was writing (%1)").arg(hexBytes(extra)));
        } else if (event == Event::SlowWriteOver) {
            report(m_response);
            finish(Outcome::Accepted);
        }
        break;
    case State::Quieting:
        if (event == Event::BytesArrived) {
            // A late answer to the failed try, or noise: dropped, and the quiet starts again.
            m_link.readAll();
            m_quietTimer.start(m_timings.retryQuietMs);
        } else if (event == Event::QuietOver) {
            sendTry();
        } else if (event == Event::TimeUp) {
            outOfStep(QStringLiteral("the line does not fall quiet for a retry"));
        }
        break;
    case State::Settled:
        if (event == Event::BytesArrived) {
            m_answer = m_link.readAll();
            if (!m_answer.isEmpty())
                outOfStep(
                    QStringLiteral("bytes after its answer, when none was due (%1)").arg(hexBytes(m_answer)));
        }
        break;
    }
    m_outbox.deliver();
}

void FlashExchange::begin()
{
    const bool continuing = m_state == State::Settled;
    stopTimers();
    if (continuing && m_link.bytesAvailable() > 0) {
        m_answer = m_link.readAll();
        outOfStep(QStringLiteral("bytes after its answer, when none was due (%1)").arg(hexBytes(m_answer)));
        return;
    }
    // Whatever came before the operation began is no answer to it.
    if (!continuing)
        m_link.readAll();
    m_message = m_asked.bytes;
    m_request = m_asked.request;
    m_what = m_asked.what;
    m_tries = 0;
    m_response = {};
    m_failure.clear();
    sendTry();
}

void FlashExchange::sendTry()
{
    ++m_tries;
    m_answer.clear();
    // Waiting begins before the write: a peer may answer before write() returns.
    m_state = m_request == FlashRequest::Command ? State::Pausing : State::Awaiting;
    m_deadline.start(m_timings.answerLimitMs);
    if (m_state == State::Pausing)
        m_pauseTimer.start(m_timings.commandPauseMs);
    const bool written = m_link.write(m_message);
    m_outbox.post([this, message = m_message] { emit messageSent(message); });
    if (written)
        return;
    // A closed port stays closed: trying again cannot help.
    m_failure = m_link.errorText().isEmpty() ? QStringLiteral("Serial port is not open") : m_link.errorText();
    finish(Outcome::WriteFailed);
}

void FlashExchange::collect()
{
    m_answer += m_link.readAll();
}

FlashExchange::Reading FlashExchange::reading() const
{
    if (serial::startsWithOwnFrame(m_answer, m_message))
        return Reading::Echo;
    // The start of our own message may be the start of its echo: an answer never goes on like it.
    if (m_message.startsWith(m_answer) || m_answer.size() < kAnswerSize)
        return Reading::NeedMore;
    return m_answer.size() == kAnswerSize ? Reading::Answer : Reading::TooMany;
}

void FlashExchange::act(Reading reading)
{
    switch (reading) {
    case Reading::NeedMore:
        return;
    case Reading::Answer:
        judge();
        return;
    case Reading::Echo:
        post(&FlashExchange::statusChanged, serial::withEchoHint(kEchoedText));
        post(&FlashExchange::responseMarked, kEchoMark);
        tryFailed(serial::withEchoHint(QStringLiteral("own message echoed")));
        return;
    case Reading::TooMany:
        outOfStep(QStringLiteral("more than one answer (%1)").arg(hexBytes(m_answer)));
        return;
    }
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
    if (m_response.accepted)
        finish(Outcome::Accepted);
    else
        tryFailed(describeAnswer());
}

QString FlashExchange::describeAnswer() const
{
    if (m_answer.size() < kAnswerSize)
        return QStringLiteral("answer %1 cut short").arg(hexBytes(m_answer));
    const FlashResponse r = judgeFlashResponse(m_answer, m_request);
    const QString shown = r.listed ? r.mark : hexBytes(m_answer.first(kAnswerSize));
    return r.statusText ? QStringLiteral("answer %1 (%2)").arg(shown, *r.statusText)
                        : QStringLiteral("answer %1").arg(shown);
}

void FlashExchange::tryFailed(const QString& why)
{
    stopTimers();
    if (m_tries < kMaxTries) {
        waitForQuiet();
        return;
    }
    const QString where = m_what.isEmpty() ? QString() : m_what + QStringLiteral(", ");
    post(&FlashExchange::statusChanged, QStringLiteral("%1: %2%3").arg(kRetryFourTimesText, where, why));
    finish(Outcome::Rejected);
}

void FlashExchange::waitForQuiet()
{
    m_state = State::Quieting;
    m_link.readAll();
    m_quietTimer.start(m_timings.retryQuietMs);
    // However long the line goes on talking, the wait ends.
    m_deadline.start(m_timings.answerLimitMs + m_timings.retryQuietMs);
}

void FlashExchange::outOfStep(const QString& why)
{
    stopTimers();
    const QString where = m_what.isEmpty() ? QString() : QStringLiteral(" - ") + m_what;
    m_failure = QStringLiteral("%1%2: %3").arg(kOutOfStepText, where, why);
    m_state = State::Idle;
    post(&FlashExchange::statusChanged, m_failure);
    post(&FlashExchange::responseMarked, m_failure);
    m_outbox.post([this] { emit finished(Outcome::OutOfStep, FlashResponse {}); });
}

void FlashExchange::report(const FlashResponse& response)
{
    if (response.statusText)
        post(&FlashExchange::statusChanged, *response.statusText);
    if (!response.mark.isEmpty())
        post(&FlashExchange::responseMarked, response.mark);
}

void FlashExchange::finish(Outcome outcome)
{
    stopTimers();
    m_state = outcome == Outcome::Accepted ? State::Settled : State::Idle;
    m_outbox.post(
        [this, outcome, response = outcome == Outcome::WriteFailed ? FlashResponse {} : m_response] {
            emit finished(outcome, response);
        });
}

void FlashExchange::post(void (FlashExchange::*signal)(const QString&), const QString& text)
{
    m_outbox.post([this, signal, text] { (this->*signal)(text); });
}

void FlashExchange::stopTimers()
{
    m_pauseTimer.stop();
    m_deadline.stop();
    m_slowWriteTimer.stop();
    m_quietTimer.stop();
}

} // namespace velto::flash
