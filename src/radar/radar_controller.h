#pragma once

#include "common/box_update.h"
#include "common/clock.h"
#include "radar/graph_request.h"
#include "radar/judged_reply.h"
#include "radar/monitoring_record.h"
#include "radar/radar_command.h"
#include "radar/radar_file_sink.h"
#include "radar/radar_inputs.h"
#include "radar/radar_link.h"

#include <QObject>
#include <QTimer>

namespace velto::radar {

// The radar window's logic: its command buttons, the judging of each reply when Timer_Rx fires, and
// the counts and file state of a run, which change only through the operations below. It talks to
// the window through box updates and signals only.
class RadarController : public QObject {
    Q_OBJECT
public:
    static constexpr int kStatusReplyMs = 250;
    static constexpr int kSpectrumReplyMs = 5000;
    static constexpr int kTimeDomainReplyMs = 20000;

    // How long Timer_Rx waits for each kind of reply.
    struct ReplyWindows {
        int statusMs = kStatusReplyMs;
        int spectrumMs = kSpectrumReplyMs;
        int timeDomainMs = kTimeDomainReplyMs;
    };

    RadarController(serial::ByteLink& link, const Clock& clock, QObject* parent = nullptr);
    ~RadarController() override;

    RadarInputs& inputs() { return m_inputs; }
    const RadarInputs& inputs() const { return m_inputs; }
    RadarLink& link() { return *m_link; }
    MonitoringRecord& record() { return m_record; }
    void setReplyWindows(const ReplyWindows& windows) { m_windows = windows; }
    const ReplyWindows& replyWindows() const { return m_windows; }
    void setFileSink(RadarFileSink* sink) { m_files = sink; }

    // Command buttons: each writes ModeText, arms Timer_Rx and sends.
    void Standby_Click();
    void Track_Click();
    void Set_Parameters_Click();
    void SendStatus_Click();
    void MonitoringCommand_Click();
    void FftOrRawCombo_Click(int index);
    // The monitoring request of a run's step: the kind it asks for, whatever the combo shows.
    void requestMonitoring(MonitoringKind kind);

    // A run begins: counts, series numbers and the run's file start afresh.
    void startRun();
    // A further series of the run: its counts start afresh, its record goes to the run's file.
    void startSeries();
    // Stop: the next run replaces the file instead of appending to it.
    void endRun();

    MonitoringKind monitoringKind() const { return m_monitoringKind; }
    // Accepted distances since the series began, and how many of them the counted series took.
    int measurementCount() const { return m_measurementCount; }
    int autoMeasurementCount() const { return m_autoMeasurementCount; }
    // False once a write to the run's file has failed, until the next run or series.
    bool fileOk() const { return m_fileOk; }

    // Timer_Rx interval for a command, monitoring by the kind it asks for.
    int replyWindowMs(RadarCommand command, MonitoringKind kind) const;
    // The most a command waits for its reply: its reply window, the frame's way out and the whole
    // reply's way back at the line's pace. A reply still unfinished then is "No Response".
    int replyBoundMs(RadarCommand command, MonitoringKind kind) const;

    // Shows a text in StatusText (the sequence's states), or in another box.
    void showStatus(const QString& text);
    void showText(const QString& boxName, const QString& text);
    RadarCommand mode() const { return m_mode; }

signals:
    // A command is about to read the boxes: a check still waiting for the operator to finish typing
    // runs now, so the command carries what the box shows.
    void inputsWanted();
    void boxesChanged(const QList<velto::BoxUpdate>& updates);
    // The log box shows a short centred message (false) or a hex dump of a monitoring reply (true).
    void logLayoutChanged(bool dump);
    void commandSent(velto::radar::RadarCommand command);
    void replyJudged(const velto::radar::JudgedReply& reply);
    // DrawFFT: "Graph " is ticked and a monitoring reply was accepted.
    void graphRequested(const velto::radar::GraphRequest& request);
    // The reply just judged went into a file that a run's first write replaced.
    void fileReplaced(const QString& path);

private:
    void transmit(RadarCommand command);
    void onReplyDue(const QByteArray& buffer);
    void onReplyBound();
    JudgedReply handleEcho(QList<BoxUpdate>& boxes);
    JudgedReply handleStatus(const QByteArray& buffer, QList<BoxUpdate>& boxes);
    JudgedReply handleMonitoring(const QByteArray& buffer, QList<BoxUpdate>& boxes);
    void countMeasurement(qint32 rawDistance, QList<BoxUpdate>& boxes, bool& fileFailed);
    // Takes in what a write to the sink did; false after a file error.
    bool written(const RadarFileSink::Result& result);
    void publish(const QList<BoxUpdate>& boxes);

    RadarInputs m_inputs;
    MonitoringKind m_monitoringKind = MonitoringKind::TimeDomain; // FftOrRawCombo starts at "RAW"
    int m_measurementCount = 0;
    int m_autoMeasurementCount = 0;
    int m_seriesIndex = 0;
    bool m_recordStarted = false;
    bool m_fileCreated = false;
    bool m_fileOk = true;
    ReplyWindows m_windows;
    MonitoringRecord m_record;
    // Timer_Rx: how long a command waits before what arrived is judged as its reply.
    QTimer m_replyWait;
    QTimer m_replyBound;
    bool m_lastLook = false;
    QString m_replaced;
    RadarLink* m_link;
    RadarFileSink* m_files = nullptr;
    RadarCommand m_mode = RadarCommand::SendStatus;
    bool m_modeSet = false;
};

} // namespace velto::radar
