#include "radar/measurement_sequence.h"
#include "radar/radar_box_names.h"

namespace velto::radar {

namespace {
const QString kStop = QStringLiteral("Stop");
const QString kStart = QStringLiteral("Start");
} // namespace

MeasurementSequence::MeasurementSequence(RadarController& controller, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
{
    // Each of these times the sensor's pace or bounds its answer.
    for (QTimer* t : { &m_pause, &m_overdue, &m_settle }) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    m_pause.setInterval(kRetryPauseMs);
    connect(&m_pause, &QTimer::timeout, this, [this] { advance({ EventType::PauseOver }); });
    connect(&m_overdue, &QTimer::timeout, this, [this] { advance({ EventType::ReplyOverdue }); });
    connect(&m_settle, &QTimer::timeout, this, [this] { advance({ EventType::SettleOver }); });
    connect(&m_controller, &RadarController::replyJudged, this, [this](const JudgedReply& reply) {
        advance({ EventType::ReplyJudged, reply });
    });
}

RadarCommand MeasurementSequence::commandOf(Step step)
{
    switch (step) {
    case Step::StandBy:
    case Step::MonitorStandBy:
        return RadarCommand::StandBy;
    case Step::SetParameters:
        return RadarCommand::SetParameters;
    case Step::Track:
        return RadarCommand::Track;
    case Step::Series:
        return RadarCommand::SendStatus;
    case Step::Spectrum:
    case Step::TimeDomain:
        return RadarCommand::Monitoring;
    }
    return RadarCommand::StandBy;
}

quint16 MeasurementSequence::expectedCode(Step step)
{
    switch (step) {
    case Step::Spectrum:
        return code::kSpectrumAccepted;
    case Step::TimeDomain:
        return code::kTimeDomainAccepted;
    default:
        return commandCode(commandOf(step));
    }
}

void MeasurementSequence::advance(const Event& event)
{
    switch (event.type) {
    case EventType::StartOrStop:
        if (m_controls.startCaption == kStop)
            stop();
        else
            begin();
        return;
    case EventType::More:
        if (m_state == State::Finished)
            more();
        return;
    case EventType::ReplyJudged:
        if (m_state == State::AwaitingReply && !event.reply.incomplete
            && event.reply.command == commandOf(step()))
            onJudged(event.reply);
        return;
    case EventType::ReplyOverdue:
        if (m_state == State::AwaitingReply) {
            m_controller.link().finishReply();
            retryLater();
        }
        return;
    case EventType::PauseOver:
        if (m_state == State::Pausing)
            sendStep();
        return;
    case EventType::SettleOver:
        if (m_state == State::Settling)
            sendStepNow();
        return;
    }
}

void MeasurementSequence::begin()
{
    m_controller.startRun();
    m_controller.showStatus(QStringLiteral("Perform Measurments"));
    m_controller.showText(box::kMoreIndexText, QStringLiteral("0"));
    m_controller.showText(box::kCounterOfMeasText, QStringLiteral("0"));
    setControls({ false, false, false, kStop });
    m_plan = { Step::StandBy, Step::SetParameters, Step::Track, Step::Series };
    m_stepIndex = 0;
    m_attempts = 0;
    sendStep();
}

void MeasurementSequence::more()
{
    // The file of the run stays: a further series is appended to it.
    m_controller.startSeries();
    m_controller.showStatus(QStringLiteral("Perform Measurments"));
    m_controller.showText(box::kCounterOfMeasText, QStringLiteral("0"));
    setControls({ false, false, false, kStop });
    // After monitoring the sensor stands by: it needs the handshakes again before it measures.
    if (m_lastPhaseWasSeries)
        m_plan = { Step::Series };
    else
        m_plan = { Step::StandBy, Step::SetParameters, Step::Track, Step::Series };
    m_stepIndex = 0;
    m_attempts = 0;
    sendStep();
}

void MeasurementSequence::stop()
{
    m_controller.endRun();
    halt();
}

void MeasurementSequence::halt()
{
    const bool wasRunning = running();
    m_pause.stop();
    m_overdue.stop();
    m_settle.stop();
    m_controller.link().finishReply();
    m_state = State::Idle;
    setControls({ true, false, true, kStart });
    m_controller.showStatus(QStringLiteral("Wait for Start"));
    if (wasRunning)
        emit ended(false);
}

void MeasurementSequence::onJudged(const JudgedReply& reply)
{
    m_overdue.stop();
    if (reply.fileFailed) {
        // The files of this run can no longer be trusted; the operator has seen why. The run ends as
        // Stop ends it, so no More appends to a file that failed.
        halt();
        return;
    }
    if (!reply.accepted || reply.code != expectedCode(step())) {
        retryLater();
        return;
    }
    m_attempts = 0;
    if (step() == Step::Series) {
        seriesReplyAccepted();
        return;
    }
    stepDone();
}

void MeasurementSequence::seriesReplyAccepted()
{
    const RadarInputs& in = m_controller.inputs();
    if (in.periodical || m_controller.measurementCount() < in.numOfAutomeasurement) {
        sendStep(m_pacing.afterDistanceMs);
        return;
    }
    emit beep(kEndBeeps);
    m_lastPhaseWasSeries = true;
    appendMonitoringSteps();
    nextStep(m_pacing.afterDistanceMs);
}

void MeasurementSequence::appendMonitoringSteps()
{
    const RadarInputs& in = m_controller.inputs();
    if (!in.spectrum && !in.timeDomain)
        return;
    m_controller.showStatus(QStringLiteral("Wait for Data..."));
    m_plan.append(Step::MonitorStandBy);
    if (in.spectrum)
        m_plan.append(Step::Spectrum);
    if (in.timeDomain)
        m_plan.append(Step::TimeDomain);
}

void MeasurementSequence::stepDone()
{
    const Step done = step();
    if ((done == Step::Spectrum && !m_plan.contains(Step::TimeDomain)) || done == Step::TimeDomain) {
        monitoringDone();
        return;
    }
    nextStep();
}

void MeasurementSequence::monitoringDone()
{
    m_lastPhaseWasSeries = false;
    m_controller.showStatus(QStringLiteral("End Of Process"));
    emit beep(kEndBeeps);
    finish(true);
}

void MeasurementSequence::nextStep(int waitMs)
{
    ++m_stepIndex;
    m_attempts = 0;
    if (m_stepIndex >= m_plan.size()) {
        finish(true);
        return;
    }
    sendStep(waitMs);
}

void MeasurementSequence::sendStep(int waitMs)
{
    m_state = State::Settling;
    m_settle.start(waitMs + m_pacing.settleMs);
}

void MeasurementSequence::sendStepNow()
{
    const Step s = step();
    if ((s == Step::Spectrum || s == Step::TimeDomain) && !m_controller.fileOk()) {
        halt();
        return;
    }
    ++m_attempts;
    m_state = State::AwaitingReply;
    switch (s) {
    case Step::StandBy:
    case Step::MonitorStandBy:
        m_controller.Standby_Click();
        break;
    case Step::SetParameters:
        m_controller.Set_Parameters_Click();
        break;
    case Step::Track:
        m_controller.Track_Click();
        break;
    case Step::Series:
        m_controller.SendStatus_Click();
        break;
    case Step::Spectrum:
        m_controller.requestMonitoring(MonitoringKind::Spectrum);
        break;
    case Step::TimeDomain:
        m_controller.requestMonitoring(MonitoringKind::TimeDomain);
        break;
    }
    m_overdue.start(
        m_controller.replyWindowMs(commandOf(s), m_controller.monitoringKind()) + kReplyDeadlineMs);
}

void MeasurementSequence::retryLater()
{
    if (m_attemptLimit > 0 && m_attempts >= m_attemptLimit) {
        emit stepFailed(step(), m_attempts);
        finish(false);
        return;
    }
    m_state = State::Pausing;
    m_pause.start();
}

void MeasurementSequence::finish(bool completed)
{
    m_pause.stop();
    m_overdue.stop();
    m_settle.stop();
    m_state = State::Finished;
    const RadarInputs& in = m_controller.inputs();
    setControls(
        { true, m_controls.startCaption == kStop, !in.spectrum && !in.timeDomain, m_controls.startCaption });
    emit ended(completed);
}

void MeasurementSequence::setControls(const SequenceControls& controls)
{
    m_controls = controls;
    emit controlsChanged(m_controls);
}

} // namespace velto::radar
