#include "radar/radar_controller.h"

#include "radar/monitoring_reply.h"
#include "radar/radar_box_names.h"
#include "radar/radar_format.h"
#include "radar/radar_frame.h"
#include "radar/status_reply.h"
#include "serial/own_echo.h"

#include <utility>

namespace velto::radar {

namespace {
const QString kNA = QStringLiteral("N/A");
constexpr double kTenthsOfMmPerM = 10000.0;

BoxUpdate text(const QString& name, const QString& value)
{
    BoxUpdate u;
    u.objectName = name;
    u.text = value;
    return u;
}
} // namespace

RadarController::RadarController(serial::ByteLink& link, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_replyWait(this)
{
    qRegisterMetaType<JudgedReply>();
    qRegisterMetaType<GraphRequest>();
    m_replyWait.setObjectName(QStringLiteral("Timer_Rx"));
    m_replyWait.setInterval(kStatusReplyMs);
    m_link = new RadarLink(link, m_replyWait, clock, this);
    connect(m_link, &RadarLink::replyDue, this, &RadarController::onReplyDue);
    m_replyBound.setSingleShot(true);
    m_replyBound.setTimerType(Qt::PreciseTimer);
    connect(&m_replyBound, &QTimer::timeout, this, &RadarController::onReplyBound);
}

RadarController::~RadarController()
{
    // A reply still awaited ends with us; nothing more is collected for it.
    m_link->finishReply();
}

int RadarController::replyWindowMs(RadarCommand command, MonitoringKind kind) const
{
    if (hasStatusReply(command))
        return m_windows.statusMs;
    return kind == MonitoringKind::Spectrum ? m_windows.spectrumMs : m_windows.timeDomainMs;
}

int RadarController::replyBoundMs(RadarCommand command, MonitoringKind kind) const
{
    const bool shortFrame = command == RadarCommand::SendStatus || command == RadarCommand::Track
        || command == RadarCommand::StandBy;
    const qsizetype frameBytes = shortFrame ? kShortFrameSize : kLongFrameSize;
    const qsizetype replyBytes = hasStatusReply(command) ? kStatusReplySize : replySize(kind);
    return replyWindowMs(command, kind) + m_link->turnAroundMs(frameBytes) + m_link->transferMs(replyBytes);
}

void RadarController::Standby_Click()
{
    publish({ text(box::kModeText, modeText(RadarCommand::StandBy)), text(box::kDistanceOrLevelText, kNA),
        text(box::kDistanceAfterOffsetText, kNA) });
    transmit(RadarCommand::StandBy);
}

void RadarController::Track_Click()
{
    publish({ text(box::kModeText, modeText(RadarCommand::Track)), text(box::kDistanceOrLevelText, kNA),
        text(box::kDistanceAfterOffsetText, kNA) });
    transmit(RadarCommand::Track);
}

void RadarController::Set_Parameters_Click()
{
    publish({ text(box::kModeText, modeText(RadarCommand::SetParameters)),
        text(box::kDistanceOrLevelText, kNA), text(box::kDistanceAfterOffsetText, kNA) });
    transmit(RadarCommand::SetParameters);
}

void RadarController::SendStatus_Click()
{
    publish({ text(box::kModeText, modeText(RadarCommand::SendStatus)) });
    transmit(RadarCommand::SendStatus);
}

void RadarController::MonitoringCommand_Click()
{
    publish({ text(box::kModeText, modeText(RadarCommand::Monitoring)),
        text(box::kStatusText, "Wait for Data..."), text(box::kTextTerminaTextBox, QString()),
        text(box::kReceiveBuffSize, QString()) });
    transmit(RadarCommand::Monitoring);
}

void RadarController::FftOrRawCombo_Click(int index)
{
    m_monitoringKind = index == 0 ? MonitoringKind::Spectrum : MonitoringKind::TimeDomain;
}

void RadarController::requestMonitoring(MonitoringKind kind)
{
    m_monitoringKind = kind;
    MonitoringCommand_Click();
}

void RadarController::startRun()
{
    m_seriesIndex = 0;
    m_fileCreated = false;
    startSeries();
}

void RadarController::startSeries()
{
    m_measurementCount = 0;
    m_autoMeasurementCount = 0;
    m_recordStarted = false;
    m_fileOk = true;
}

void RadarController::endRun()
{
    m_fileCreated = false;
    m_fileOk = true;
    m_recordStarted = false;
}

void RadarController::showStatus(const QString& status)
{
    publish({ text(box::kStatusText, status) });
}

void RadarController::showText(const QString& boxName, const QString& value)
{
    publish({ text(boxName, value) });
}

void RadarController::transmit(RadarCommand command)
{
    emit inputsWanted();
    quint8 dataSelector = selector::kNone;
    if (command == RadarCommand::Monitoring) {
        // The kind is settled before the wait is chosen, so the wait fits the data asked for.
        const DataSelection s
            = selectMonitoringData(m_inputs.spectrum, m_inputs.timeDomain, m_monitoringKind);
        m_monitoringKind = s.kind;
        dataSelector = s.selector;
    }
    m_mode = command;
    m_modeSet = true;
    publish({ text(box::kTextTerminaTextBox, QString()) });
    m_link->setRtsDelayCount(m_inputs.rtsDelayCount);
    m_lastLook = false;
    m_link->send(buildRadarFrame(command, m_inputs.parameters, dataSelector),
        replyWindowMs(command, m_monitoringKind));
    m_replyBound.start(replyBoundMs(command, m_monitoringKind));
    emit commandSent(command);
}

void RadarController::onReplyDue(const QByteArray& buffer)
{
    QList<BoxUpdate> boxes { text(box::kReceiveBuffSize, QString::number(buffer.size())) };
    if (!m_modeSet) {
        m_link->finishReply();
        publish(boxes);
        return;
    }
    JudgedReply judged;
    if (m_link->beganWithOwnFrame(buffer))
        judged = handleEcho(boxes);
    else
        judged = hasStatusReply(m_mode) ? handleStatus(buffer, boxes) : handleMonitoring(buffer, boxes);
    if (judged.incomplete && m_lastLook) {
        // A line that keeps sending the start of a reply and never the rest.
        judged.incomplete = false;
        m_link->finishReply();
        boxes << text(box::kTextTerminaTextBox, QStringLiteral("No Response"));
    }
    if (!judged.incomplete)
        m_replyBound.stop();
    judged.boxes = boxes;
    publish(boxes);
    if (!m_replaced.isEmpty())
        emit fileReplaced(std::exchange(m_replaced, QString()));
    emit replyJudged(judged);
}

void RadarController::onReplyBound()
{
    if (!m_link->awaitingReply())
        return;
    // One last look at what came since Timer_Rx last looked, judged as Timer_Rx would.
    m_lastLook = true;
    m_link->Timer_Rx_Timer();
}

JudgedReply RadarController::handleEcho(QList<BoxUpdate>& boxes)
{
    // Our own frame first: whatever follows it, the look proves nothing about the sensor.
    JudgedReply judged;
    judged.command = m_mode;
    judged.kind = m_monitoringKind;
    m_link->finishReply();
    emit logLayoutChanged(false);
    QString failure = wrongHeaderText(m_mode);
    if (!hasStatusReply(m_mode)) {
        boxes << text(box::kStatusText, QStringLiteral("Calculating Data"));
        failure = QStringLiteral("Incorrect Number Of Blocks");
    }
    boxes << text(box::kTextTerminaTextBox, serial::withEchoHint(failure));
    return judged;
}

JudgedReply RadarController::handleStatus(const QByteArray& buffer, QList<BoxUpdate>& boxes)
{
    JudgedReply judged;
    judged.command = m_mode;
    emit logLayoutChanged(false);
    const StatusReply reply = judgeStatusReply(buffer, m_mode);
    if (reply.outcome == StatusReply::Outcome::Incomplete) {
        // Nothing is read past the end: Timer_Rx stays armed and the next tick judges what follows.
        judged.incomplete = true;
        return judged;
    }
    m_link->finishReply();
    if (!reply.accepted()) {
        boxes << text(box::kTextTerminaTextBox, reply.logText);
        return judged;
    }
    // Values count only once the checksum has vouched for them.
    if (m_mode == RadarCommand::SendStatus) {
        boxes << text(box::kSignalToNoiseText, QString::number(reply.signalToNoise));
        countMeasurement(reply.rawDistance, boxes, judged.fileFailed);
    } else {
        boxes << text(box::kSignalToNoiseText, kNA);
    }
    boxes << text(box::kTextTerminaTextBox, reply.logText);
    judged.accepted = true;
    judged.code = reply.code;
    return judged;
}

void RadarController::countMeasurement(qint32 rawDistance, QList<BoxUpdate>& boxes, bool& fileFailed)
{
    ++m_measurementCount;
    const int seriesLength = m_inputs.numOfAutomeasurement;
    if (!m_inputs.periodical) {
        if (m_autoMeasurementCount < seriesLength) {
            ++m_autoMeasurementCount;
            boxes << text(box::kCounterOfMeasText, QString::number(m_autoMeasurementCount));
        }
        if (m_autoMeasurementCount >= seriesLength)
            boxes << text(box::kStatusText, QStringLiteral("End Of Measurements"));
    }
    const QString distance = formatTenthsOfMm(rawDistance);
    boxes << text(box::kDistanceOrLevelText, distance);
    boxes << text(box::kDistanceAfterOffsetText,
        formatMetres(m_inputs.distanceOffsetM + rawDistance / kTenthsOfMmPerM));
    boxes << text(box::kDistanceOrLevelLabel,
        m_inputs.parameters.tankHeightMm == 0 ? QStringLiteral("Distance (m)") : QStringLiteral("Level (m)"));
    if (m_inputs.periodical)
        return;

    if (!m_recordStarted) {
        m_record = MonitoringRecord {};
        m_record.seriesNumber = MonitoringRecord::kSeriesBase + m_seriesIndex;
        m_record.measurements = seriesLength;
        m_record.laserDistance = MonitoringRecord::laserDistanceFor(m_inputs.distanceByLaser);
        m_record.mode = MonitoringRecord::modeFor(m_inputs.spectrum, m_inputs.timeDomain);
        ++m_seriesIndex;
        boxes << text(box::kMoreIndexText, QString::number(m_seriesIndex));
        m_recordStarted = true;
    }
    if (m_measurementCount <= m_record.measurements) {
        m_record.times << formatSecondsField(m_link->msSinceStart());
        m_record.distances << distance;
    }
    if (!m_inputs.spectrum && !m_inputs.timeDomain && m_inputs.saveToFile
        && m_measurementCount == m_record.measurements && m_files)
        fileFailed = !written(m_files->writeRecord(m_inputs, m_record, m_fileCreated));
}

JudgedReply RadarController::handleMonitoring(const QByteArray& buffer, QList<BoxUpdate>& boxes)
{
    JudgedReply judged;
    judged.command = RadarCommand::Monitoring;
    const MonitoringKind kind = m_monitoringKind;
    judged.kind = kind;
    boxes << text(box::kStatusText, QStringLiteral("Calculating Data"));
    const MonitoringReply reply = judgeMonitoringReply(buffer, kind, m_inputs.fft, m_inputs.raw);
    m_link->finishReply();
    if (reply.outcome != MonitoringReply::Outcome::NoResponse
        && reply.outcome != MonitoringReply::Outcome::TooShort) {
        boxes << text(box::kSignalToNoiseText, kNA);
        emit logLayoutChanged(true);
    }
    if (!reply.accepted()) {
        boxes << text(box::kTextTerminaTextBox, reply.logText);
        return judged;
    }
    if (m_inputs.saveToFile && m_inputs.fileTypeIndex == 0 && m_files)
        judged.fileFailed = !written(m_files->writeMonitoring(
            m_inputs, m_record, reply, kind, m_link->sendMs(), m_link->receiveMs(), m_fileCreated));
    boxes << text(box::kTextTerminaTextBox, reply.logText);

    judged.accepted = true;
    judged.code = kind == MonitoringKind::Spectrum ? code::kSpectrumAccepted : code::kTimeDomainAccepted;
    if (m_inputs.graph) {
        GraphRequest graph;
        graph.kind = kind;
        graph.combined = m_inputs.spectrum && m_inputs.timeDomain;
        graph.fft = m_inputs.fft;
        graph.raw = m_inputs.raw;
        graph.rawMin = reply.rawMin;
        graph.rawMax = reply.rawMax;
        if (kind == MonitoringKind::Spectrum) {
            graph.values.reserve(reply.spectrumBins.size());
            for (char bin : reply.spectrumBins)
                graph.values.append(quint8(bin));
        } else {
            graph.values = QList<int>(reply.rawSamples.cbegin(), reply.rawSamples.cend());
        }
        emit graphRequested(graph);
    }
    return judged;
}

bool RadarController::written(const RadarFileSink::Result& result)
{
    switch (result.outcome) {
    case RadarFileSink::Result::Outcome::Nothing:
        return true;
    case RadarFileSink::Result::Outcome::Written:
        m_fileCreated = true;
        m_fileOk = true;
        m_replaced = result.replacedPath;
        return true;
    case RadarFileSink::Result::Outcome::Failed:
        m_fileOk = false;
        return false;
    }
    return false;
}

void RadarController::publish(const QList<BoxUpdate>& boxes)
{
    emit boxesChanged(boxes);
}

} // namespace velto::radar
