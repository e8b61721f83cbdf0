#include "radar/measurement_sequence.h"
#include "radar/radar_box_names.h"
#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"
#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "support/radar_rig.h"
#include "support/scripted_radar_peer.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace velto;
using namespace velto::radar;

namespace {

// Against hangs only: the runs below take seconds.
constexpr int kGuardMs = 120000;
const QString kFastLine = QStringLiteral("115200,n,8,1");

// The line a rig stands on; a base, so that it is there before the controller.
struct RealLine {
    // The sensor's clock stands still, so its distance is known exactly.
    sim::ManualClock sensorClock { 75000 };
    sim::SimulatedLine line { sensorClock };
    serial::QtByteLink port;
    serial::TappedByteLink link { port };
};

// The radar window's logic over a real pseudo-terminal, with the simulated radar on the far side.
struct Rig : RealLine, test::RadarRig {
    // On the simulated line, or on the line of a scripted peer when `devicePath` names one.
    explicit Rig(const QString& settings = kFastLine, const QString& devicePath = {})
        : RadarRig(link, SystemClock::instance())
    {
        controller.link().setLineSettings(settings);
        opened = line.isValid() && link.open(devicePath.isEmpty() ? line.devicePath() : devicePath, settings);
    }
    bool judge(void (RadarController::*click)(), int guardMs = kGuardMs)
    {
        return RadarRig::judge(click, guardMs);
    }
    bool opened = false;
};

} // namespace

class TstRadarLine : public QObject {
    Q_OBJECT
private slots:
    void fullStartSequence();
    void statusRepliesAndTheirFaults_data();
    void statusRepliesAndTheirFaults();
    void monitoringFaults_data();
    void monitoringFaults();
    void repliesComeAtTheLinesPace();
    void liarsAreNeverAnswered_data();
    void liarsAreNeverAnswered();
};

void TstRadarLine::fullStartSequence()
{
    Rig rig;
    QVERIFY(rig.opened);
    rig.controller.setReplyWindows({ 250, 1500, 5000 });
    RadarInputs& in = rig.controller.inputs();
    in.spectrum = true;
    in.timeDomain = true;
    in.graph = true;
    in.parameters.tankHeightMm = 8000;
    QString lastDistance;
    QObject::connect(&rig.controller, &RadarController::boxesChanged, &rig.controller,
        [&lastDistance](const QList<BoxUpdate>& u) {
            for (const BoxUpdate& b : u)
                if (b.objectName == box::kDistanceOrLevelText && b.text && *b.text != QStringLiteral("N/A"))
                    lastDistance = *b.text;
        });
    QList<GraphRequest> graphs;
    QObject::connect(&rig.controller, &RadarController::graphRequested, &rig.controller,
        [&graphs](const GraphRequest& g) { graphs << g; });
    rig.sequence.StartOrStopMeasCommand_Click();
    QVERIFY(rig.waitEnded(kGuardMs));
    QCOMPARE(rig.ended.last().at(0).toBool(), true);
    QCOMPARE(rig.boxes["StatusText"], QString("End Of Process"));
    QCOMPARE(rig.boxes["CounterOfMeasText"], QString("5"));
    QCOMPARE(rig.boxes["DistanceOrLevelLabel"], QString("Level (m)"));
    QCOMPARE(rig.line.radar().tankHeightMm(), 8000);
    const sim::RadarResponder& sensor = rig.line.radar();
    const qint64 ms = rig.sensorClock.monotonicMs();
    QCOMPARE(lastDistance, QString("3.8913")); // 8 m less the 4.1087 m the sensor sees at 75 s
    QCOMPARE(rig.boxes["DistanceOrLevelText"], QString("N/A")); // the StandBy before the monitoring

    QCOMPARE(graphs.size(), 2);
    const GraphRequest& spectrum = graphs[0];
    QCOMPARE(spectrum.values.size(), 256);
    const auto peak = std::max_element(spectrum.values.cbegin() + 8, spectrum.values.cend());
    QCOMPARE(int(peak - spectrum.values.cbegin()), sensor.peakBin(ms));
    const GraphRequest& time = graphs[1];
    QCOMPARE(time.values.size(), 128);
    QVERIFY(time.rawMax - time.rawMin > 20000);
    QCOMPARE(rig.judged.last().code, quint16(60));
    for (const JudgedReply& r : std::as_const(rig.judged))
        QVERIFY(r.accepted);
}

void TstRadarLine::statusRepliesAndTheirFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("log");
    QTest::newRow("none") << ""
                          << " 55  AA";
    QTest::newRow("noise before the header") << "noise"
                                             << " 55  AA";
    QTest::newRow("silence") << "silent"
                             << "No Response";
    QTest::newRow("short") << "short"
                           << "No Response";
    QTest::newRow("checksum") << "checksum"
                              << "Incorrect Checksum";
}

void TstRadarLine::statusRepliesAndTheirFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, log);
    Rig rig;
    QVERIFY(rig.opened);
    sim::RadarResponder& sensor = rig.line.radar();
    sensor.silent = fault == "silent";
    sensor.shortBy = fault == "short" ? 1 : 0;
    sensor.wrongStatusChecksum = fault == "checksum";
    sensor.noiseBefore = fault == "noise" ? QByteArray("\x00\x55\xAA\x05\x13", 5) : QByteArray();
    QVERIFY(rig.judge(&RadarController::SendStatus_Click));
    QVERIFY2(rig.boxes["TextTerminaTextBox"].startsWith(log), qPrintable(rig.boxes["TextTerminaTextBox"]));
    const bool accepted = fault.isEmpty() || fault == "noise";
    QCOMPARE(rig.judged.last().accepted, accepted);
    if (accepted) {
        const double distance = rig.boxes["DistanceOrLevelText"].toDouble();
        QVERIFY(distance >= 1.8 && distance <= 4.2);
        QCOMPARE(rig.boxes["DistanceOrLevelLabel"], QString("Distance (m)"));
        QVERIFY(rig.boxes["SignalToNoiseText"].toInt() >= 24);
    }
    // RTS rose for the frame and came down again, though a pseudo-terminal has no such line.
    QVERIFY(!rig.controller.link().rts()
        || QSignalSpy(&rig.controller.link(), &RadarLink::rtsChanged).wait(kGuardMs));
    QVERIFY(!rig.controller.link().rts());
}

void TstRadarLine::monitoringFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("spectrum");
    QTest::addColumn<QString>("log");
    QTest::newRow("checksum in block 10")
        << "block" << true << "Incorrect CheckSum Monitoring In Block Number 10";
    QTest::newRow("short spectrum") << "short" << true
                                    << "Receive Buffer Length Too Short Smaller Then 4352 Bytes";
    QTest::newRow("silent") << "silent" << true << "No Response";
    QTest::newRow("noise, time domain") << "noise" << false << " C3 ";
}

void TstRadarLine::monitoringFaults()
{
    QFETCH(QString, fault);
    QFETCH(bool, spectrum);
    QFETCH(QString, log);
    Rig rig;
    QVERIFY(rig.opened);
    rig.controller.setReplyWindows({ 250, 1500, 5000 });
    sim::RadarResponder& sensor = rig.line.radar();
    sensor.wrongChecksumBlock = fault == "block" ? 10 : 0;
    sensor.shortBy = fault == "short" ? 68 : 0;
    sensor.silent = fault == "silent";
    sensor.noiseBefore = fault == "noise" ? QByteArray("\xC3\x01\x44\x40\x99", 5) : QByteArray();
    rig.controller.inputs().spectrum = spectrum;
    rig.controller.inputs().timeDomain = !spectrum;
    QVERIFY(rig.judge(&RadarController::MonitoringCommand_Click));
    QVERIFY2(rig.boxes["TextTerminaTextBox"].startsWith(log),
        qPrintable(rig.boxes["TextTerminaTextBox"].left(80)));
    QCOMPARE(rig.judged.last().accepted, fault == "noise");
}

void TstRadarLine::repliesComeAtTheLinesPace()
{
    // 15980 bytes need 1.4 s at 115200 bit/s; a 300 ms look finds only part of them, however
    // slow the machine.
    Rig rig;
    QVERIFY(rig.opened);
    rig.controller.setReplyWindows({ 250, 300, 300 });
    rig.controller.inputs().timeDomain = true;
    QVERIFY(rig.judge(&RadarController::MonitoringCommand_Click));
    QCOMPARE(
        rig.boxes["TextTerminaTextBox"], QString("Receive Buffer Length Too Short Smaller Then 15980 Bytes"));
    const int received = rig.boxes["ReceiveBuffSize"].toInt();
    QVERIFY2(received > 0 && received < 15980, qPrintable(QString::number(received)));
    QVERIFY(rig.line.pacedPending() > 0);
}

void TstRadarLine::liarsAreNeverAnswered_data()
{
    using Answer = test::ScriptedRadarPeer::Answer;
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("monitoring");
    QTest::addColumn<bool>("removeEcho");
    QTest::addColumn<QStringList>("logs"); // under load a look may find more than the row meant
    const QString statusEcho
        = "Incorrect Send Status Header (the adapter echoes what is sent: turn on Remove echo)";
    const QString blocksEcho
        = "Incorrect Number Of Blocks (the adapter echoes what is sent: turn on Remove echo)";
    QTest::newRow("Send Status echoed") << int(Answer::Echo) << false << false << QStringList { statusEcho };
    QTest::newRow("Send Status echoed, then answered")
        << int(Answer::EchoThenRight) << false << false << QStringList { statusEcho };
    QTest::newRow("spectrum request echoed")
        << int(Answer::Echo) << true << false << QStringList { blocksEcho };
    QTest::newRow("spectrum request echoed, then answered")
        << int(Answer::EchoThenRight) << true << false << QStringList { blocksEcho };
    QTest::newRow("65 blocks") << int(Answer::BlockTwice) << true << false
                               << QStringList { "Incorrect Number Of Blocks (Unequal To 63 Blocks)" };
    QTest::newRow("a header and too few bytes, over and over") << int(
        Answer::HeaderOverAndOver) << false << false << QStringList { "No Response", "Incorrect Checksum" };
    QTest::newRow("Send Status answered twice")
        << int(Answer::Twice) << false << false
        << QStringList { "Incorrect Send Status Header (more than one answer)" };
    // With Remove echo on the link takes our frame out: the sensor's own reply is the answer.
    QTest::newRow("Send Status echoed, then answered, echo removed")
        << int(Answer::EchoThenRight) << false << true
        << QStringList { " 55  AA  01  10  27  00  00  00  00  00  00  1E  55 " };
}

void TstRadarLine::liarsAreNeverAnswered()
{
    QFETCH(int, answer);
    QFETCH(bool, monitoring);
    QFETCH(bool, removeEcho);
    QFETCH(QStringList, logs);
    test::ScriptedRadarPeer peer;
    QVERIFY(peer.isValid());
    peer.answer = test::ScriptedRadarPeer::Answer(answer);
    peer.distanceTenthsOfMm = 10000;
    Rig rig(kFastLine, peer.devicePath());
    QVERIFY(rig.opened);
    rig.link.setRemoveEcho(removeEcho);
    rig.controller.setReplyWindows({ 250, 1500, 5000 });
    rig.controller.inputs().spectrum = true;
    // However the line keeps a reply coming, a command ends within its bound.
    const int bound = rig.controller.replyBoundMs(
        monitoring ? RadarCommand::Monitoring : RadarCommand::SendStatus, MonitoringKind::Spectrum);
    QVERIFY(
        rig.judge(monitoring ? &RadarController::MonitoringCommand_Click : &RadarController::SendStatus_Click,
            bound + 10000));
    const QString log = rig.boxes["TextTerminaTextBox"];
    QVERIFY2(logs.contains(log), qPrintable(log));
    QCOMPARE(rig.judged.last().accepted, removeEcho);
    QCOMPARE(rig.boxes.value("DistanceOrLevelText"), removeEcho ? QString("1.0000") : QString());
    QCOMPARE(rig.judged.last().code, removeEcho ? quint16(1) : quint16(0));
    QVERIFY(!rig.controller.link().awaitingReply());
    QVERIFY(!rig.timerRx.isActive());
    QCOMPARE(rig.timerRx.timerType(), Qt::PreciseTimer);
}

QTEST_GUILESS_MAIN(TstRadarLine)
#include "tst_radar_line.moc"
