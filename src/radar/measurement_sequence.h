#pragma once

#include "radar/radar_controller.h"

#include <QList>
#include <QObject>
#include <QTimer>

namespace velto::radar {

// How the sequence leaves the radar window's buttons.
struct SequenceControls {
    bool manualEnabled = true; // Standby, Track, Set_Parameters, SendStatus, MonitoringCommand
    bool moreEnabled = false;
    bool periodicalEnabled = true; // before the check boxes' own rule
    QString startCaption = QStringLiteral("Start ");

    bool operator==(const SequenceControls&) const = default;
};

// The automatic operation of the radar window: handshakes StandBy, Set Parameters and Track (each
// sent until acknowledged), a counted or periodical series of Send Status, then the spectrum and/or
// time-domain monitoring, each behind its own StandBy. One state and one advance() decide every
// step; the waits are timers and judged replies, never loops. The run keeps the sensor's pace: each
// of its commands leaves a second after the run decided on it, and a distance is followed by two
// seconds more, so a series asks for one distance about every 3.25 s.
class MeasurementSequence : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle, // "Start": nothing runs
        Settling, // the next command leaves when the settling wait is over
        AwaitingReply, // a command is out; its judged reply (or the deadline) decides
        Pausing, // a refused or missing reply: the command goes again after a short pause
        Finished, // ran to its end; "Stop" still shown, More offered
    };
    Q_ENUM(State)
    enum class Step { StandBy, SetParameters, Track, Series, MonitorStandBy, Spectrum, TimeDomain };
    Q_ENUM(Step)
    enum class EventType { StartOrStop, More, ReplyJudged, ReplyOverdue, PauseOver, SettleOver };
    struct Event {
        EventType type;
        JudgedReply reply {};
    };

    static constexpr int kRetryPauseMs = 250;
    // The run's waits around its commands.
    struct Pacing {
        int settleMs = 1000; // before each command
        int afterDistanceMs = 2000; // after each distance, before the next command
    };
    // Beyond Timer_Rx's own wait: a reply that never gets judged (Timer_Rx stopped from outside).
    static constexpr int kReplyDeadlineMs = 5000;
    static constexpr int kEndBeeps = 3;

    explicit MeasurementSequence(RadarController& controller, QObject* parent = nullptr);

    void StartOrStopMeasCommand_Click() { advance({ EventType::StartOrStop }); }
    void MoreCommand_Click() { advance({ EventType::More }); }
    void advance(const Event& event);

    State state() const { return m_state; }
    Step step() const { return m_plan.value(m_stepIndex, Step::StandBy); }
    const SequenceControls& controls() const { return m_controls; }
    bool running() const
    {
        return m_state == State::Settling || m_state == State::AwaitingReply || m_state == State::Pausing;
    }
    void setPacing(const Pacing& pacing) { m_pacing = pacing; }
    // Sends of one step before the run gives up; 0 (the window's way) retries until Stop.
    void setAttemptLimit(int sends) { m_attemptLimit = sends; }
    int attempts() const { return m_attempts; }

    static RadarCommand commandOf(Step step);
    static quint16 expectedCode(Step step);

signals:
    void controlsChanged(const velto::radar::SequenceControls& controls);
    void beep(int times);
    // A step was refused as often as the attempt limit allows.
    void stepFailed(velto::radar::MeasurementSequence::Step step, int attempts);
    // The run is over: completed, or cut short by Stop, a file error or the attempt limit.
    void ended(bool completed);

private:
    void begin();
    void stop();
    // The run ends as Stop leaves it, the controller's counts and file state as they are.
    void halt();
    void more();
    void onJudged(const JudgedReply& reply);
    void stepDone();
    void seriesReplyAccepted();
    void monitoringDone();
    void nextStep(int waitMs = 0);
    // The step's command leaves after the settling wait and `waitMs` more.
    void sendStep(int waitMs = 0);
    void sendStepNow();
    void retryLater();
    void finish(bool completed);
    void setControls(const SequenceControls& controls);
    void appendMonitoringSteps();

    RadarController& m_controller;
    QTimer m_pause;
    QTimer m_overdue;
    QTimer m_settle;
    Pacing m_pacing;
    State m_state = State::Idle;
    QList<Step> m_plan;
    qsizetype m_stepIndex = 0;
    int m_attempts = 0;
    int m_attemptLimit = 0;
    bool m_lastPhaseWasSeries = true;
    SequenceControls m_controls;
};

} // namespace velto::radar
