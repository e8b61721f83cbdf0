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
    connect(&m_converter, &HexOrderRunner::started, this, [this] {
        if (m_state != State::Converting)
            return;
        m_converterStarted = true;
        emit converterRunning(true);
    });
    connect(&m_converter, &HexOrderRunner::failedToStart, this, [this](const QString& text) {
        if (m_state == State::Converting)
            emit messageBox(text, kErrorTitle, Prompter::Icon::Warning);
    });
    connect(&m_converter, &HexOrderRunner::done, this, [this] { advance(Event::ConverterDone); });
    connect(&m_converter, &HexOrderRunner::failed, this, [this](const QString& text) {
        if (m_state != State::Converting)
            return;
        if (m_converterStarted) {
            m_converterStarted = false;
            emit converterRunning(false);
        }
        m_result.converterFailed = true;
        emit messageBox(text, kErrorTitle, Prompter::Icon::Warning);
        if (m_state == State::Converting)
            end(false);
    });
}

void FlashBurner::burn(const BurnRequest& request)
{
    if (isBusy())
        return;
    m_request = request;
    m_lines.clear();
    m_next = 0;
    begin(State::Converting, FlashResult::Operation::Burn);
    m_result.eraseRequested = request.erase;
    emit statusChanged(QString());
    emit progressRangeChanged(1, 1);
    emit progressChanged(1);
    emit progressVisibleChanged(true);
    if (m_state != State::Converting)
        return; // stopped by a listener
    if (!request.runConverter) {
        readFile();
        return;
    }
    m_converterStarted = false;
    m_converter.run(request.converterProgram, request.hexPath);
}

void FlashBurner::eraseFlash()
{
    if (isBusy())
        return;
    begin(State::Command, FlashResult::Operation::Erase);
    emit statusChanged(kEraseInProgressText);
    if (m_state == State::Command)
        m_exchange.start(kEraseCommand, FlashRequest::Command, QString::fromLatin1(kEraseCommand));
}

void FlashBurner::testFlash()
{
    if (isBusy())
        return;
    begin(State::Command, FlashResult::Operation::Test);
    emit statusChanged(kTestInProgressText);
    if (m_state == State::Command)
        m_exchange.start(kTestCommand, FlashRequest::Command, QString::fromLatin1(kTestCommand));
}

void FlashBurner::stop()
{
    if (!isBusy())
        return;
    m_exchange.cancel();
    m_converter.stop();
    m_finishTimer.stop();
    if (m_converterStarted) {
        m_converterStarted = false;
        emit converterRunning(false);
    }
    m_result.stopped = true;
    m_result.stopText = stopText();
    emit statusChanged(stopStatus());
    emit transcriptEntry(m_result.stopText);
    emit trafficNote(m_result.stopText);
    end(false);
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

void FlashBurner::begin(State state, FlashResult::Operation operation)
{
    m_state = state;
    m_result = {};
    m_result.operation = operation;
    emit busyChanged(true);
}

void FlashBurner::advance(Event event)
{
    switch (m_state) {
    case State::Idle:
        return;
    case State::Converting:
        if (event != Event::ConverterDone)
            return;
        if (m_converterStarted) {
            m_converterStarted = false;
            emit converterRunning(false);
            if (m_state != State::Converting)
                return; // stopped by a listener
        }
        readFile();
        return;
    case State::Erasing:
        switch (event) {
        case Event::Accepted:
        case Event::Rejected:
        case Event::WriteFailed:
            // Whatever the erase answered, the burn goes on; its end says whether the erase succeeded.
            startBurning();
            return;
        case Event::OutOfStep:
            end(false);
            return;
        case Event::ConverterDone:
        case Event::FinishPauseOver:
            return;
        }
        return;
    case State::Starting:
    case State::Sending:
        switch (event) {
        case Event::Accepted:
            if (m_state == State::Sending)
                ++m_next;
            m_result.linesAccepted = int(m_next);
            m_state = State::Sending;
            if (m_next < m_lines.size()) {
                sendLine();
            } else {
                // The exchange watches the line meanwhile: an answer now was to nothing sent.
                m_state = State::Finishing;
                m_finishTimer.start(m_timings.finishPauseMs);
            }
            return;
        case Event::Rejected:
        case Event::OutOfStep:
            end(false);
            return;
        case Event::WriteFailed:
            burnError();
            return;
        case Event::ConverterDone:
        case Event::FinishPauseOver:
            return;
        }
        return;
    case State::Finishing:
        if (event == Event::OutOfStep) {
            end(false);
        } else if (event == Event::FinishPauseOver) {
            const bool erased = !m_request.erase || m_result.commandCode == FlashResponse::kEraseSucceeded;
            emit statusChanged(erased ? kBurnSucceededText : kBurnWithoutEraseText);
            end(true);
        }
        return;
    case State::Command:
        if (event == Event::Accepted || event == Event::Rejected || event == Event::WriteFailed
            || event == Event::OutOfStep)
            end(event == Event::Accepted);
        return;
    }
}

void FlashBurner::readFile()
{
    HexFileRead file = readHexFile(m_request.hexPath);
    if (!file.ok()) {
        emit messageBox(file.errorText, QString(), Prompter::Icon::Warning);
        end(false);
        return;
    }
    m_lines = std::move(file.lines);
    m_result.lineCount = int(m_lines.size());
    emit progressRangeChanged(1, int(m_lines.size()));
    if (!m_request.erase) {
        startBurning();
        return;
    }
    m_state = State::Erasing;
    emit statusChanged(kEraseInProgressText);
    if (m_state == State::Erasing)
        m_exchange.start(kEraseCommand, FlashRequest::Command, QString::fromLatin1(kEraseCommand));
}

void FlashBurner::startBurning()
{
    m_state = State::Starting;
    m_exchange.start(kStartBurnCommand, FlashRequest::Command, QString::fromLatin1(kStartBurnCommand));
}

QString FlashBurner::lineName() const
{
    return QStringLiteral("line %1 of %2").arg(m_next + 1).arg(m_lines.size());
}

void FlashBurner::sendLine()
{
    emit progressChanged(int(m_next + 1));
    if (m_state == State::Sending) // a listener may have stopped the burn
        m_exchange.start(m_lines.at(m_next), FlashRequest::Line, lineName());
}

void FlashBurner::burnError()
{
    emit statusChanged(m_exchange.failureText());
    emit messageBox(kBurnErrorText, QString(), Prompter::Icon::None);
    end(false);
}

void FlashBurner::end(bool accepted)
{
    m_exchange.cancel();
    m_finishTimer.stop();
    m_state = State::Idle;
    m_result.accepted = accepted;
    // A listener may start the next operation; this one's result goes out as it was.
    const FlashResult result = m_result;
    emit progressVisibleChanged(false);
    emit busyChanged(false);
    emit finished(result);
}

void FlashBurner::sayUnknownCommandAnswer(const FlashResponse& response)
{
    // The table leaves the status as it was ("... in Progress"), which reads as if nothing came.
    if (response.kind != FlashResponse::Kind::CommandAnswer || response.listed)
        return;
    const bool erase = m_state == State::Erasing || m_result.operation == FlashResult::Operation::Erase;
    const QString code = QStringLiteral("%1").arg(response.code, 2, 16, QLatin1Char('0')).toUpper();
    emit statusChanged(QStringLiteral("Flash %1 Answered With An Unknown Code (0x%2)")
                           .arg(erase ? QStringLiteral("Erase") : QStringLiteral("Test"), code));
}

void FlashBurner::onExchangeFinished(FlashExchange::Outcome outcome, const FlashResponse& response)
{
    const bool command = m_state == State::Erasing || m_state == State::Command;
    if (command && outcome == FlashExchange::Outcome::Accepted) {
        m_result.commandCode = response.code;
        sayUnknownCommandAnswer(response);
    }
    if (m_state == State::Command && outcome == FlashExchange::Outcome::WriteFailed)
        emit statusChanged(m_exchange.failureText());
    switch (outcome) {
    case FlashExchange::Outcome::Accepted:
        advance(Event::Accepted);
        return;
    case FlashExchange::Outcome::Rejected:
        advance(Event::Rejected);
        return;
    case FlashExchange::Outcome::WriteFailed:
        advance(Event::WriteFailed);
        return;
    case FlashExchange::Outcome::OutOfStep:
        emit trafficNote(m_exchange.failureText());
        advance(Event::OutOfStep);
        return;
    }
}

} // namespace velto::flash
