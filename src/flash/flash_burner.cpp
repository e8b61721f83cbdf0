#include "flash/flash_burner.h"

#include "flash/flash_texts.h"
#include "flash/hex_file.h"

namespace velto::flash {

FlashBurner::FlashBurner(serial::ByteLink& link, const FlashTimings& timings, QObject* parent)
    : QObject(parent)
    , m_timings(timings)
    , m_exchange(link, m_timings, this)
{
    m_finishTimer.setSingleShot(true);
    m_finishTimer.setTimerType(Qt::PreciseTimer);
    m_finishTimer.setObjectName(QStringLiteral("FlashFinishTimer"));
    connect(&m_finishTimer, &QTimer::timeout, this, [this] { advance(Event::FinishPauseOver); });
    connect(&m_exchange, &FlashExchange::statusChanged, this, &FlashBurner::statusChanged);
    connect(&m_exchange, &FlashExchange::messageSent, this,
        [this](const QByteArray& message) { emit transcriptEntry(QString::fromLatin1(message)); });
    connect(&m_exchange, &FlashExchange::responseMarked, this, &FlashBurner::transcriptEntry);
    connect(&m_exchange, &FlashExchange::finished, this, &FlashBurner::onExchangeFinished);
    connect(&m_converter, &HexOrderRunner::started, this, [this] { advance(Event::ConverterStarted); });
    connect(&m_converter, &HexOrderRunner::failedToStart, this,
        [this](const QString& text) { advance(Event::ConverterFailedToStart, text); });
    connect(&m_converter, &HexOrderRunner::done, this, [this] { advance(Event::ConverterDone); });
    connect(&m_converter, &HexOrderRunner::failed, this,
        [this](const QString& text) { advance(Event::ConverterFailed, text); });
}

void FlashBurner::burn(const BurnRequest& request)
{
    if (isBusy())
        return;
    m_request = request;
    advance(Event::BurnAsked);
}

void FlashBurner::eraseFlash()
{
    if (!isBusy())
        advance(Event::EraseAsked);
}

void FlashBurner::testFlash()
{
    if (!isBusy())
        advance(Event::TestAsked);
}

void FlashBurner::stop()
{
    if (isBusy())
        advance(Event::StopAsked);
}

QString FlashBurner::runningText() const
{
    switch (m_state) {
    case State::Idle:
        return {};
    case State::Converting:
        return QStringLiteral("The HEX converter is running.");
    case State::Erasing:
    case State::Starting:
        return QStringLiteral("Flash burning is starting.");
    case State::Sending:
    case State::Finishing:
        return QStringLiteral("Flash burning is at line %1 of %2.")
            .arg(std::min(m_next + 1, m_lines.size()))
            .arg(m_lines.size());
    case State::Command:
        return m_result.operation == FlashResult::Operation::Erase
            ? QStringLiteral("The flash erase is waiting for the device.")
            : QStringLiteral("The flash test is waiting for the device.");
    }
    return {};
}

QString FlashBurner::stopStatus() const
{
    switch (m_state) {
    case State::Idle:
    case State::Converting:
        return QStringLiteral("Flash Burning Stopped");
    case State::Erasing:
    case State::Starting:
    case State::Sending:
    case State::Finishing:
        return QStringLiteral("Flash Burning Aborted - Flash Incomplete");
    case State::Command:
        return m_result.operation == FlashResult::Operation::Erase ? QStringLiteral("Flash Erase Aborted")
                                                                   : QStringLiteral("Flash Test Aborted");
    }
    return {};
}

QString FlashBurner::stopText() const
{
    switch (m_state) {
    case State::Idle:
    case State::Converting:
        return QStringLiteral("Flash burning was stopped before anything was sent to the device.");
    case State::Erasing:
        return QStringLiteral(
            "Flash burning was aborted during the erase: the sensor's flash is incomplete.");
    case State::Starting:
    case State::Sending:
        return QStringLiteral(
            "Flash burning was aborted after %1 of %2 lines: the sensor's flash is incomplete.")
            .arg(m_next)
            .arg(m_lines.size());
    case State::Finishing:
        return QStringLiteral("Flash burning was aborted after its last line, before the device's last "
                              "answers were checked: burn the file again to be sure of the flash.");
    case State::Command:
        return QStringLiteral("The flash %1 was aborted before the device answered: the flash may be "
                              "partly erased.")
            .arg(m_result.operation == FlashResult::Operation::Erase ? QStringLiteral("erase")
                                                                     : QStringLiteral("test"));
    }
    return {};
}

void FlashBurner::advance(Event event, const QString& text, const FlashResponse& response)
{
    if (event == Event::StopAsked) {
        // Whatever runs, in every state.
        if (isBusy())
            abort();
        m_outbox.deliver();
        return;
    }
    switch (m_state) {
    case State::Idle:
        if (event == Event::BurnAsked) {
            begin(State::Converting, FlashResult::Operation::Burn);
            m_lines.clear();
            m_next = 0;
            m_result.eraseRequested = m_request.erase;
            postStatus(QString());
            m_outbox.post([this] {
                emit progressRangeChanged(1, 1);
                emit progressChanged(1);
                emit progressVisibleChanged(true);
            });
            m_converterStarted = false;
            if (m_request.runConverter)
                m_outbox.post([this] { m_converter.run(m_request.converterProgram, m_request.hexPath); });
            else
                m_outbox.post([this] { advance(Event::FileDue); });
        } else if (event == Event::EraseAsked || event == Event::TestAsked) {
            const bool erase = event == Event::EraseAsked;
            begin(State::Command, erase ? FlashResult::Operation::Erase : FlashResult::Operation::Test);
            postStatus(erase ? kEraseInProgressText : kTestInProgressText);
            startCommand(erase ? kEraseCommand : kTestCommand);
        }
        break;
    case State::Converting:
        if (event == Event::ConverterStarted) {
            m_converterStarted = true;
            m_outbox.post([this] { emit converterRunning(true); });
        } else if (event == Event::ConverterFailedToStart) {
            m_outbox.post([this, text] { emit messageBox(text, kErrorTitle, Prompter::Icon::Warning); });
        } else if (event == Event::ConverterFailed) {
            converterEnded();
            m_result.converterFailed = true;
            m_outbox.post([this, text] { emit messageBox(text, kErrorTitle, Prompter::Icon::Warning); });
            end(false);
        } else if (event == Event::ConverterDone) {
            converterEnded();
            m_outbox.post([this] { advance(Event::FileDue); });
        } else if (event == Event::FileDue) {
            readFile();
        }
        break;
    case State::Erasing:
        if (event == Event::Accepted) {
            m_result.commandCode = response.code;
            sayUnknownCommandAnswer(response);
        }
        // Whatever the erase answered, the burn goes on; its end says whether the erase succeeded.
        if (event == Event::Accepted || event == Event::Rejected || event == Event::WriteFailed)
            startBurning();
        else if (event == Event::OutOfStep)
            outOfStep();
        break;
    case State::Starting:
    case State::Sending:
        if (event == Event::Accepted) {
            if (m_state == State::Sending)
                ++m_next;
            m_result.linesAccepted = int(m_next);
            if (m_next < m_lines.size()) {
                m_state = State::Sending;
                sendLine();
            } else {
                // The exchange watches the line meanwhile: an answer now was to nothing sent.
                m_state = State::Finishing;
                m_finishTimer.start(m_timings.finishPauseMs);
            }
        } else if (event == Event::Rejected) {
            end(false);
        } else if (event == Event::OutOfStep) {
            outOfStep();
        } else if (event == Event::WriteFailed) {
            postStatus(m_exchange.failureText());
            m_outbox.post([this] { emit messageBox(kBurnErrorText, QString(), Prompter::Icon::None); });
            end(false);
        }
        break;
    case State::Finishing:
        if (event == Event::OutOfStep) {
            outOfStep();
        } else if (event == Event::FinishPauseOver) {
            const bool erased = !m_request.erase || m_result.commandCode == FlashResponse::kEraseSucceeded;
            postStatus(erased ? kBurnSucceededText : kBurnWithoutEraseText);
            end(true);
        }
        break;
    case State::Command:
        if (event == Event::Accepted) {
            m_result.commandCode = response.code;
            sayUnknownCommandAnswer(response);
            end(true);
        } else if (event == Event::Rejected) {
            end(false);
        } else if (event == Event::WriteFailed) {
            postStatus(m_exchange.failureText());
            end(false);
        } else if (event == Event::OutOfStep) {
            outOfStep();
        }
        break;
    }
    m_outbox.deliver();
}

void FlashBurner::begin(State state, FlashResult::Operation operation)
{
    m_state = state;
    m_result = {};
    m_result.operation = operation;
    m_outbox.post([this] { emit busyChanged(true); });
}

void FlashBurner::readFile()
{
    HexFileRead file = readHexFile(m_request.hexPath);
    if (!file.ok()) {
        m_outbox.post(
            [this, text = file.errorText] { emit messageBox(text, QString(), Prompter::Icon::Warning); });
        end(false);
        return;
    }
    m_lines = std::move(file.lines);
    m_result.lineCount = int(m_lines.size());
    m_outbox.post([this, count = int(m_lines.size())] { emit progressRangeChanged(1, count); });
    if (!m_request.erase) {
        startBurning();
        return;
    }
    m_state = State::Erasing;
    postStatus(kEraseInProgressText);
    startCommand(kEraseCommand);
}

void FlashBurner::startCommand(const QByteArray& command)
{
    // Last of its transition: a stop while the signals before it are out drops the send.
    m_outbox.post(
        [this, command] { m_exchange.start(command, FlashRequest::Command, QString::fromLatin1(command)); });
}

void FlashBurner::startBurning()
{
    m_state = State::Starting;
    startCommand(kStartBurnCommand);
}

QString FlashBurner::lineName() const
{
    return QStringLiteral("line %1 of %2").arg(m_next + 1).arg(m_lines.size());
}

void FlashBurner::sendLine()
{
    m_outbox.post([this, value = int(m_next + 1)] { emit progressChanged(value); });
    m_outbox.post([this, line = m_lines.at(m_next), name = lineName()] {
        m_exchange.start(line, FlashRequest::Line, name);
    });
}

void FlashBurner::converterEnded()
{
    if (!m_converterStarted)
        return;
    m_converterStarted = false;
    m_outbox.post([this] { emit converterRunning(false); });
}

void FlashBurner::abort()
{
    // What a listener was about to hear, or the send it was about to see, belonged to this operation.
    m_outbox.drop();
    m_exchange.cancel();
    m_converter.stop();
    m_finishTimer.stop();
    converterEnded();
    m_result.stopped = true;
    m_result.stopText = stopText();
    postStatus(stopStatus());
    postTranscript(m_result.stopText);
    m_outbox.post([this, text = m_result.stopText] { emit trafficNote(text); });
    end(false);
}

void FlashBurner::outOfStep()
{
    m_outbox.post([this, text = m_exchange.failureText()] { emit trafficNote(text); });
    end(false);
}

void FlashBurner::end(bool accepted)
{
    m_exchange.cancel();
    m_finishTimer.stop();
    m_state = State::Idle;
    m_result.accepted = accepted;
    // A listener may start the next operation; this one's result goes out as it was.
    m_outbox.post([this, result = m_result] {
        emit progressVisibleChanged(false);
        emit busyChanged(false);
        emit finished(result);
    });
}

void FlashBurner::postStatus(const QString& text)
{
    m_outbox.post([this, text] { emit statusChanged(text); });
}

void FlashBurner::postTranscript(const QString& text)
{
    m_outbox.post([this, text] { emit transcriptEntry(text); });
}

void FlashBurner::sayUnknownCommandAnswer(const FlashResponse& response)
{
    // The table leaves the status as it was ("... in Progress"), which reads as if nothing came.
    if (response.kind != FlashResponse::Kind::CommandAnswer || response.listed)
        return;
    const bool erase = m_state == State::Erasing || m_result.operation == FlashResult::Operation::Erase;
    const QString code = QStringLiteral("%1").arg(response.code, 2, 16, QLatin1Char('0')).toUpper();
    postStatus(QStringLiteral("Flash %1 Answered With An Unknown Code (0x%2)")
                   .arg(erase ? QStringLiteral("Erase") : QStringLiteral("Test"), code));
}

void FlashBurner::onExchangeFinished(FlashExchange::Outcome outcome, const FlashResponse& response)
{
    switch (outcome) {
    case FlashExchange::Outcome::Accepted:
        advance(Event::Accepted, {}, response);
        return;
    case FlashExchange::Outcome::Rejected:
        advance(Event::Rejected);
        return;
    case FlashExchange::Outcome::WriteFailed:
        advance(Event::WriteFailed);
        return;
    case FlashExchange::Outcome::OutOfStep:
        advance(Event::OutOfStep);
        return;
    }
}

} // namespace velto::flash
