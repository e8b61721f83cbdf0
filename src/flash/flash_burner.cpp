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
        m_exchange.start(kEraseCommand, FlashRequest::Command);
}

void FlashBurner::testFlash()
{
    if (isBusy())
        return;
    begin(State::Command, FlashResult::Operation::Test);
    emit statusChanged(kTestInProgressText);
    if (m_state == State::Command)
        m_exchange.start(kTestCommand, FlashRequest::Command);
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
    end(false);
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
        // Whatever the erase answered, the burn goes on.
        if (event == Event::Accepted || event == Event::Rejected || event == Event::WriteFailed)
            startBurning();
        return;
    case State::Starting:
    case State::Sending:
        switch (event) {
        case Event::Accepted:
            if (m_state == State::Sending)
                ++m_next;
            m_state = State::Sending;
            if (m_next < m_lines.size()) {
                sendLine();
            } else {
                m_state = State::Finishing;
                m_finishTimer.start(m_timings.finishPauseMs);
            }
            return;
        case Event::Rejected:
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
        if (event == Event::FinishPauseOver) {
            emit statusChanged(kBurnSucceededText);
            end(true);
        }
        return;
    case State::Command:
        if (event == Event::Accepted || event == Event::Rejected || event == Event::WriteFailed)
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
    emit progressRangeChanged(1, int(m_lines.size()));
    if (!m_request.erase) {
        startBurning();
        return;
    }
    m_state = State::Erasing;
    emit statusChanged(kEraseInProgressText);
    if (m_state == State::Erasing)
        m_exchange.start(kEraseCommand, FlashRequest::Command);
}

void FlashBurner::startBurning()
{
    m_state = State::Starting;
    m_exchange.start(kStartBurnCommand, FlashRequest::Command);
}

void FlashBurner::sendLine()
{
    emit progressChanged(int(m_next + 1));
    if (m_state == State::Sending) // a listener may have stopped the burn
        m_exchange.start(m_lines.at(m_next), FlashRequest::Line);
}

void FlashBurner::burnError()
{
    emit statusChanged(m_exchange.writeFailureText());
    emit messageBox(kBurnErrorText, QString(), Prompter::Icon::None);
    end(false);
}

void FlashBurner::end(bool accepted)
{
    m_state = State::Idle;
    m_result.accepted = accepted;
    // A listener may start the next operation; this one's result goes out as it was.
    const FlashResult result = m_result;
    emit progressVisibleChanged(false);
    emit busyChanged(false);
    emit finished(result);
}

void FlashBurner::onExchangeFinished(FlashExchange::Outcome outcome, const FlashResponse& response)
{
    const bool command = m_state == State::Erasing || m_state == State::Command;
    if (command && outcome == FlashExchange::Outcome::Accepted)
        m_result.commandCode = response.code;
    if (m_state == State::Command && outcome == FlashExchange::Outcome::WriteFailed)
        emit statusChanged(m_exchange.writeFailureText());
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
    }
}

} // namespace velto::flash
