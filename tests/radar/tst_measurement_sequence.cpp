#include "radar/measurement_sequence.h"
#include "radar/radar_box_names.h"
#include "sim/radar_responder.h"
#include "support/radar_rig.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto;
using namespace velto::radar;
using Step = MeasurementSequence::Step;

namespace {

// Long enough for a busy machine to run a few hundred commands; only catches hangs.
constexpr int kGuardMs = 60000;

// Short waits: the fake sensor answers on the next turn of the loop.
constexpr RadarController::ReplyWindows kFastWindows { 20, 40, 60 };

struct FailingSink final : RadarFileSink {
    Result writeRecord(const RadarInputs&, const MonitoringRecord&, bool) override
    {
        return { Result::Outcome::Written, {} };
    }
    Result writeMonitoring(const RadarInputs&, const MonitoringRecord&, const MonitoringReply&,
        MonitoringKind, qint64, qint64, bool) override
    {
        return { Result::Outcome::Failed, {} };
    }
};

// The controller and the sequence over a fake link whose far end is the simulated radar.
struct Rig : test::FakeRadarRig {
    QSignalSpy beeps { &sequence, &MeasurementSequence::beep };

    Rig()
        : FakeRadarRig(SystemClock::instance())
    {
        controller.setReplyWindows(kFastWindows);
        sensorAnswers();
    }
    bool waitEnded() { return RadarRig::waitEnded(kGuardMs); }
    bool waitSent(int count) { return RadarRig::waitSent(count, kGuardMs); }
};

const QList<RadarCommand> kHandshake { RadarCommand::StandBy, RadarCommand::SetParameters,
    RadarCommand::Track };
const QList<RadarCommand> kSpectrumOnly { RadarCommand::StandBy, RadarCommand::Monitoring };
const QList<RadarCommand> kBothKinds { RadarCommand::StandBy, RadarCommand::Monitoring,
    RadarCommand::Monitoring };

QList<RadarCommand> series(int n)
{
    return QList<RadarCommand>(n, RadarCommand::SendStatus);
}

} // namespace

class TstMeasurementSequence : public QObject {
    Q_OBJECT
private slots:
    void countedSeriesOfFive();
    void lostReplyIsSentAgain();
    void stopDuringTheHandshake();
    void periodicalUntilStop();
    void spectrumAndTimeDomain();
    void moreRepeatsWhatTheSensorNeeds();
    void corruptBlockIsFetchedAgain();
    void attemptLimitEndsTheRun();
    void fileErrorEndsTheMonitoring();
};

void TstMeasurementSequence::countedSeriesOfFive()
{
    Rig rig;
    QCOMPARE(rig.sequence.controls().startCaption, QString("Start "));
    rig.sequence.StartOrStopMeasCommand_Click();
    QCOMPARE(rig.sequence.controls(), (SequenceControls { false, false, false, "Stop" }));
    QCOMPARE(rig.boxes["StatusText"], QString("Perform Measurments"));
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.ended.last().at(0).toBool(), true);
    QCOMPARE(rig.sent, kHandshake + series(5));
    QCOMPARE(rig.controller.measurementCount(), 5);
    QCOMPARE(rig.boxes["CounterOfMeasText"], QString("5"));
    QCOMPARE(rig.boxes["StatusText"], QString("End Of Measurements"));
    QCOMPARE(rig.boxes["MoreIndexText"], QString("1"));
    QCOMPARE(rig.beeps.size(), 1);
    QCOMPARE(rig.beeps.last().at(0).toInt(), 3);
    // The run is over but "Stop" stays until pressed; More is offered.
    QCOMPARE(rig.sequence.state(), MeasurementSequence::State::Finished);
    QCOMPARE(rig.sequence.controls(), (SequenceControls { true, true, true, "Stop" }));
    QVERIFY(!rig.timerRx.isActive());
    QCOMPARE(rig.sensor.tankHeightMm(), 0);
    QVERIFY(rig.sensor.tracking());

    rig.sequence.StartOrStopMeasCommand_Click();
    QCOMPARE(rig.sequence.controls(), (SequenceControls { true, false, true, "Start" }));
    QCOMPARE(rig.boxes["StatusText"], QString("Wait for Start"));
    QCOMPARE(rig.sequence.state(), MeasurementSequence::State::Idle);
}

void TstMeasurementSequence::lostReplyIsSentAgain()
{
    Rig rig;
    rig.sensor.silentReplies = 1;
    rig.controller.inputs().numOfAutomeasurement = 2;
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.sent, kHandshake.first(1) + kHandshake + series(2));
    QCOMPARE(rig.ended.last().at(0).toBool(), true);
}

void TstMeasurementSequence::stopDuringTheHandshake()
{
    Rig rig;
    rig.sensor.silent = true;
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitSent(2)); // the StandBy went unanswered and went again
    QCOMPARE(rig.sent, QList<RadarCommand>(2, RadarCommand::StandBy));
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(!rig.timerRx.isActive());
    QCOMPARE(rig.sequence.state(), MeasurementSequence::State::Idle);
    QVERIFY(!rig.sequence.running());
    QCOMPARE(rig.ended.size(), 1);
    QCOMPARE(rig.ended.last().at(0).toBool(), false);
    QCOMPARE(rig.boxes["StatusText"], QString("Wait for Start"));
    // A reply that shows up late is not judged: nothing waits for it.
    rig.link.receive(sim::RadarResponder::statusReply(0x05, 0, 0, 0));
    QVERIFY(!rig.controller.link().awaitingReply());
}

void TstMeasurementSequence::periodicalUntilStop()
{
    Rig rig;
    rig.controller.inputs().periodical = true;
    QSignalSpy judged(&rig.controller, &RadarController::replyJudged);
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitSent(3 + 8));
    QVERIFY(rig.ended.isEmpty());
    rig.sequence.StartOrStopMeasCommand_Click();
    QCOMPARE(rig.ended.size(), 1);
    QVERIFY(rig.controller.measurementCount() >= 7);
    QVERIFY(!rig.boxes.contains("CounterOfMeasText") || rig.boxes["CounterOfMeasText"] == "0");
    QCOMPARE(rig.sent.mid(3), series(rig.sent.size() - 3));
    QCOMPARE(rig.beeps.size(), 0);
}

void TstMeasurementSequence::spectrumAndTimeDomain()
{
    Rig rig;
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().timeDomain = true;
    rig.controller.inputs().graph = true;
    rig.controller.inputs().numOfAutomeasurement = 1;
    QSignalSpy graphs(&rig.controller, &RadarController::graphRequested);
    QSignalSpy judged(&rig.controller, &RadarController::replyJudged);
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.ended.last().at(0).toBool(), true);
    QCOMPARE(rig.sent, kHandshake + series(1) + kBothKinds);
    QCOMPARE(graphs.size(), 2);
    QCOMPARE(graphs[0].at(0).value<GraphRequest>().kind, MonitoringKind::Spectrum);
    QCOMPARE(graphs[1].at(0).value<GraphRequest>().kind, MonitoringKind::TimeDomain);
    QCOMPARE(rig.boxes["StatusText"], QString("End Of Process"));
    const auto last = judged.last().at(0).value<JudgedReply>();
    QVERIFY(last.accepted);
    QCOMPARE(last.code, quint16(60));
    QCOMPARE(rig.beeps.size(), 2); // after the series and after the monitoring
    // While a data kind is ticked the periodical series stays off.
    QCOMPARE(rig.sequence.controls(), (SequenceControls { true, true, false, "Stop" }));
    QVERIFY(!rig.sensor.tracking());
}

void TstMeasurementSequence::moreRepeatsWhatTheSensorNeeds()
{
    Rig rig;
    rig.controller.inputs().numOfAutomeasurement = 2;
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitEnded());
    rig.sent.clear();
    rig.ended.clear();
    // After a plain series the sensor still tracks: More measures at once.
    rig.sequence.MoreCommand_Click();
    QCOMPARE(rig.boxes["CounterOfMeasText"], QString("0"));
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.sent, series(2));
    QCOMPARE(rig.boxes["MoreIndexText"], QString("2"));

    // After monitoring it stands by: More brings it back with the handshakes first.
    rig.controller.inputs().spectrum = true;
    rig.sent.clear();
    rig.ended.clear();
    rig.sequence.MoreCommand_Click();
    QVERIFY(rig.waitEnded());
    rig.sent.clear();
    rig.ended.clear();
    rig.sequence.MoreCommand_Click();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.sent, kHandshake + series(2) + kSpectrumOnly);
    QCOMPARE(rig.boxes["MoreIndexText"], QString("4"));
}

void TstMeasurementSequence::corruptBlockIsFetchedAgain()
{
    Rig rig;
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().numOfAutomeasurement = 1;
    rig.sensor.wrongChecksumBlock = 10;
    QObject::connect(
        &rig.controller, &RadarController::replyJudged, &rig.controller, [&rig](const JudgedReply& r) {
            if (r.command == RadarCommand::Monitoring && !r.accepted)
                rig.sensor.wrongChecksumBlock = 0;
        });
    QStringList logs;
    QObject::connect(
        &rig.controller, &RadarController::boxesChanged, &rig.controller, [&logs](const QList<BoxUpdate>& u) {
            for (const BoxUpdate& b : u)
                if (b.objectName == box::kTextTerminaTextBox && b.text && b.text->startsWith("Incorrect"))
                    logs << *b.text;
        });
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.ended.last().at(0).toBool(), true);
    QCOMPARE(logs, QStringList { "Incorrect CheckSum Monitoring In Block Number 10" });
    QCOMPARE(rig.sent.count(RadarCommand::Monitoring), 2);
}

void TstMeasurementSequence::attemptLimitEndsTheRun()
{
    Rig rig;
    rig.sensor.silent = true;
    rig.sequence.setAttemptLimit(2);
    QSignalSpy failed(&rig.sequence, &MeasurementSequence::stepFailed);
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.ended.last().at(0).toBool(), false);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.last().at(0).value<Step>(), Step::StandBy);
    QCOMPARE(rig.sent, QList<RadarCommand>(2, RadarCommand::StandBy));
    QVERIFY(!rig.timerRx.isActive());
}

void TstMeasurementSequence::fileErrorEndsTheMonitoring()
{
    Rig rig;
    FailingSink sink;
    rig.controller.setFileSink(&sink);
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().timeDomain = true;
    rig.controller.inputs().numOfAutomeasurement = 1;
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.ended.last().at(0).toBool(), false);
    QCOMPARE(rig.ended.size(), 1);
    // The spectrum could not be saved: no time-domain request, and the run is over as after Stop,
    // with nothing offered that would append to the file.
    QCOMPARE(rig.sent.count(RadarCommand::Monitoring), 1);
    QCOMPARE(rig.boxes["StatusText"], QString("Wait for Start"));
    QCOMPARE(rig.sequence.state(), MeasurementSequence::State::Idle);
    QCOMPARE(rig.sequence.controls(), (SequenceControls { true, false, true, "Start" }));
}

QTEST_GUILESS_MAIN(TstMeasurementSequence)
#include "tst_measurement_sequence.moc"
