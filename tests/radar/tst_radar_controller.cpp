#include "radar/radar_controller.h"
#include "support/radar_bytes.h"
#include "support/radar_rig.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto;
using namespace velto::radar;

namespace {

constexpr int kGuardMs = 5000;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray sendStatusReply(quint32 tenthsOfMm, quint8 snr)
{
    return test::radarStatusReply(0x01, tenthsOfMm, snr);
}

// Records the file writes and answers as told.
struct FakeSink final : RadarFileSink {
    int records = 0;
    QList<MonitoringKind> monitoring;
    MonitoringRecord lastRecord;
    bool fail = false;
    Result writeRecord(const RadarInputs&, const MonitoringRecord& record, bool) override
    {
        ++records;
        lastRecord = record;
        return outcome();
    }
    Result writeMonitoring(const RadarInputs&, const MonitoringRecord&, const MonitoringReply&,
        MonitoringKind kind, qint64, qint64, bool) override
    {
        monitoring << kind;
        return outcome();
    }
    Result outcome() const { return { fail ? Result::Outcome::Failed : Result::Outcome::Written, {} }; }
};

struct Rig : test::FakeRadarRig {
    Rig()
        : FakeRadarRig(1000)
    {
    }
};

} // namespace

class TstRadarController : public QObject {
    Q_OBJECT
private slots:
    void buttonsSendTheirFrames();
    void monitoringWaitFollowsTheKindAskedFor_data();
    void monitoringWaitFollowsTheKindAskedFor();
    void sendStatusReplyFillsTheBoxes();
    void countedSeriesAndItsRecord();
    void periodicalSeriesKeepsNoRecord();
    void refusedStatusRepliesChangeNothing_data();
    void refusedStatusRepliesChangeNothing();
    void incompleteReplyLooksAgain();
    void monitoringReplies();
    void refusedMonitoringReplies();
    void fileWrites();
    void bytesOutsideTheWaitAreDropped();
    void rtsTurnAround();
};

void TstRadarController::buttonsSendTheirFrames()
{
    Rig rig;
    rig.controller.Standby_Click();
    QCOMPARE(rig.link.written.last(), hex("55 AA 05 00 00 00 00 00 00 00 00 00 00 00 00 00 00 04"));
    QCOMPARE(rig.boxes["ModeText"], QString("StandBy"));
    QCOMPARE(rig.boxes["DistanceOrLevelText"], QString("N/A"));
    QCOMPARE(rig.boxes["DistanceAfterOffsetText"], QString("N/A"));
    QVERIFY(rig.timerRx.isActive());
    QCOMPARE(rig.timerRx.interval(), 250);

    rig.controller.inputs().parameters = { 10000, 500, 256, 100 };
    rig.controller.Set_Parameters_Click();
    QCOMPARE(rig.boxes["ModeText"], QString("Set Parameters"));
    QCOMPARE(rig.link.written.last().mid(4, 8), hex("10 27 F4 01 00 01 64 00"));

    rig.controller.Track_Click();
    QCOMPARE(rig.boxes["ModeText"], QString("Track"));
    QCOMPARE(quint8(rig.link.written.last()[2]), quint8(0x03));

    rig.controller.SendStatus_Click();
    QCOMPARE(rig.boxes["ModeText"], QString("Send Status"));
    QCOMPARE(rig.link.written.last().size(), 18);
    QCOMPARE(rig.boxes["TextTerminaTextBox"], QString());
}

void TstRadarController::monitoringWaitFollowsTheKindAskedFor_data()
{
    QTest::addColumn<bool>("spectrum");
    QTest::addColumn<bool>("timeDomain");
    QTest::addColumn<int>("comboIndex");
    QTest::addColumn<quint8>("selector");
    QTest::addColumn<int>("interval");
    QTest::newRow("spectrum only, combo RAW") << true << false << 1 << quint8(0x10) << 5000;
    QTest::newRow("time only, combo FFT") << false << true << 0 << quint8(0x04) << 20000;
    QTest::newRow("both, combo FFT") << true << true << 0 << quint8(0x10) << 5000;
    QTest::newRow("both, combo RAW") << true << true << 1 << quint8(0x04) << 20000;
}

void TstRadarController::monitoringWaitFollowsTheKindAskedFor()
{
    QFETCH(bool, spectrum);
    QFETCH(bool, timeDomain);
    QFETCH(int, comboIndex);
    QFETCH(quint8, selector);
    QFETCH(int, interval);
    Rig rig;
    rig.controller.inputs().spectrum = spectrum;
    rig.controller.inputs().timeDomain = timeDomain;
    rig.controller.FftOrRawCombo_Click(comboIndex);
    rig.controller.MonitoringCommand_Click();
    QCOMPARE(rig.link.written.last().size(), 24);
    QCOMPARE(quint8(rig.link.written.last()[17]), selector);
    QCOMPARE(rig.timerRx.interval(), interval);
    QCOMPARE(rig.boxes["ModeText"], QString("Monitoring"));
    QCOMPARE(rig.boxes["StatusText"], QString("Wait for Data..."));
    QCOMPARE(rig.boxes["ReceiveBuffSize"], QString());
}

void TstRadarController::sendStatusReplyFillsTheBoxes()
{
    Rig rig;
    rig.controller.inputs().distanceOffsetM = 0.25;
    rig.controller.SendStatus_Click();
    rig.answer(hex("55 AA 01 10 27 00 00 00 00 00 00 1E 55"));
    QCOMPARE(rig.boxes["ReceiveBuffSize"], QString("13"));
    QCOMPARE(rig.boxes["SignalToNoiseText"], QString("30"));
    QCOMPARE(rig.boxes["DistanceOrLevelText"], QString("1.0000"));
    QCOMPARE(rig.boxes["DistanceAfterOffsetText"], QString("1.2500"));
    QCOMPARE(rig.boxes["DistanceOrLevelLabel"], QString("Distance (m)"));
    QCOMPARE(rig.boxes["CounterOfMeasText"], QString("1"));
    QCOMPARE(
        rig.boxes["TextTerminaTextBox"], QString(" 55  AA  01  10  27  00  00  00  00  00  00  1E  55 "));
    QCOMPARE(rig.controller.measurementCount(), 1);
    QVERIFY(!rig.timerRx.isActive());
    QCOMPARE(rig.judged.size(), 1);
    QVERIFY(rig.judged[0].accepted);
    QCOMPARE(rig.judged[0].code, quint16(1));

    // With a tank height the sensor reports the level.
    rig.controller.inputs().parameters.tankHeightMm = 6000;
    rig.controller.SendStatus_Click();
    rig.answer(sendStatusReply(45000, 12));
    QCOMPARE(rig.boxes["DistanceOrLevelLabel"], QString("Level (m)"));
    QCOMPARE(rig.boxes["DistanceOrLevelText"], QString("4.5000"));
    QCOMPARE(rig.boxes["SignalToNoiseText"], QString("12"));

    rig.controller.Standby_Click();
    rig.answer(hex("55 AA 05 00 00 00 00 00 00 00 00 00 04"));
    QCOMPARE(rig.boxes["SignalToNoiseText"], QString("N/A"));
    QCOMPARE(rig.judged.last().code, quint16(5));
}

void TstRadarController::countedSeriesAndItsRecord()
{
    Rig rig;
    rig.controller.inputs().numOfAutomeasurement = 2;
    rig.controller.inputs().distanceByLaser = QStringLiteral("2.5");
    rig.controller.inputs().spectrum = true;
    // Three series of the run went before this one.
    for (int i = 0; i < 3; ++i) {
        rig.controller.startSeries();
        rig.controller.SendStatus_Click();
        rig.answer(sendStatusReply(11111, 20));
    }
    rig.controller.startSeries();
    const quint32 distances[] = { 12345, 23456, 34567 };
    for (quint32 d : distances) {
        rig.clock.advance(1500);
        rig.controller.SendStatus_Click();
        rig.answer(sendStatusReply(d, 20));
        if (d == distances[0]) {
            QCOMPARE(rig.boxes["CounterOfMeasText"], QString("1"));
            QVERIFY(!rig.boxes.contains("StatusText"));
        }
    }
    QCOMPARE(rig.boxes["CounterOfMeasText"], QString("2"));
    QCOMPARE(rig.boxes["StatusText"], QString("End Of Measurements"));
    QCOMPARE(rig.controller.measurementCount(), 3);
    QCOMPARE(rig.controller.autoMeasurementCount(), 2);
    QCOMPARE(rig.boxes["MoreIndexText"], QString("4"));
    const MonitoringRecord& r = rig.controller.record();
    QCOMPARE(
        r.lines(), QStringList({ "1000003", "2", "2.5000", "Mode 1", "1.500", "1.2345", "3.000", "2.3456" }));
}

void TstRadarController::periodicalSeriesKeepsNoRecord()
{
    Rig rig;
    rig.controller.inputs().periodical = true;
    for (int i = 0; i < 7; ++i) {
        rig.controller.SendStatus_Click();
        rig.answer(sendStatusReply(10000 + i, 20));
    }
    QCOMPARE(rig.controller.measurementCount(), 7);
    QVERIFY(!rig.boxes.contains("CounterOfMeasText"));
    QVERIFY(!rig.boxes.contains("MoreIndexText"));
    QVERIFY(rig.controller.record().times.isEmpty());
    QCOMPARE(rig.boxes["DistanceOrLevelText"], QString("1.0006"));
}

void TstRadarController::refusedStatusRepliesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("log");
    QTest::newRow("silence") << QByteArray() << "No Response";
    QTest::newRow("wrong checksum") << hex("55 AA 01 10 27 00 00 00 00 00 00 1E 54") << "Incorrect Checksum";
    QTest::newRow("standby reply") << hex("55 AA 05 00 00 00 00 00 00 00 00 00 04")
                                   << "Incorrect Send Status Header";
}

void TstRadarController::refusedStatusRepliesChangeNothing()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, log);
    Rig rig;
    rig.controller.SendStatus_Click();
    rig.answer(reply);
    QCOMPARE(rig.boxes["TextTerminaTextBox"], log);
    QVERIFY(!rig.boxes.contains("DistanceOrLevelText"));
    QVERIFY(!rig.boxes.contains("CounterOfMeasText"));
    QCOMPARE(rig.controller.measurementCount(), 0);
    QVERIFY(!rig.timerRx.isActive());
    QVERIFY(!rig.judged.last().accepted);
}

void TstRadarController::incompleteReplyLooksAgain()
{
    Rig rig;
    rig.controller.Standby_Click();
    rig.answer(hex("00 00 00 00 00 00 00 00 00 55 AA 05 00"));
    QVERIFY(rig.judged.last().incomplete);
    QVERIFY(rig.timerRx.isActive());
    QVERIFY(!rig.boxes.contains("TextTerminaTextBox") || rig.boxes["TextTerminaTextBox"].isEmpty());
    // The rest of the reply came with the first look; the next tick finds nothing new.
    rig.answer({});
    QCOMPARE(rig.boxes["TextTerminaTextBox"], QString("No Response"));
    QVERIFY(!rig.timerRx.isActive());
}

void TstRadarController::monitoringReplies()
{
    Rig rig;
    QSignalSpy graphs(&rig.controller, &RadarController::graphRequested);
    QSignalSpy layouts(&rig.controller, &RadarController::logLayoutChanged);
    rig.controller.inputs().graph = true;
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().timeDomain = true;
    rig.controller.inputs().fft = { 2, 2 };
    rig.controller.FftOrRawCombo_Click(0);
    rig.controller.MonitoringCommand_Click();
    rig.answer(test::radarBlocks(0x3C, 64));
    QCOMPARE(rig.boxes["StatusText"], QString("Calculating Data"));
    QCOMPARE(rig.boxes["SignalToNoiseText"], QString("N/A"));
    QCOMPARE(rig.boxes["ReceiveBuffSize"], QString("4352"));
    QCOMPARE(rig.boxes["TextTerminaTextBox"].size(), 4352 * 4);
    QCOMPARE(rig.judged.last().code, quint16(195));
    QCOMPARE(layouts.last().at(0).toBool(), true);
    QCOMPARE(graphs.size(), 1);
    const auto spectrum = graphs.last().at(0).value<GraphRequest>();
    QCOMPARE(spectrum.kind, MonitoringKind::Spectrum);
    QVERIFY(spectrum.combined);
    QCOMPARE(spectrum.values.size(), 64);
    QCOMPARE(spectrum.values.front(), (1 + 4) & 0xFF); // block 2, first payload byte

    rig.controller.requestMonitoring(MonitoringKind::TimeDomain);
    rig.answer(test::radarBlocks(0xC3, 235));
    QCOMPARE(rig.judged.last().code, quint16(60));
    const auto time = graphs.last().at(0).value<GraphRequest>();
    QCOMPARE(time.kind, MonitoringKind::TimeDomain);
    QCOMPARE(time.values.size(), 128);
    QVERIFY(time.rawMin <= time.rawMax);

    rig.controller.inputs().graph = false;
    rig.controller.MonitoringCommand_Click();
    rig.answer(test::radarBlocks(0xC3, 235));
    QCOMPARE(graphs.size(), 2);
}

void TstRadarController::refusedMonitoringReplies()
{
    Rig rig;
    rig.controller.inputs().spectrum = true;
    rig.controller.MonitoringCommand_Click();
    QByteArray bad = test::radarBlocks(0x3C, 64);
    bad[9 * 68 + 1] = char(bad[9 * 68 + 1] + 1);
    rig.answer(bad);
    QCOMPARE(rig.boxes["TextTerminaTextBox"], QString("Incorrect CheckSum Monitoring In Block Number 10"));
    QVERIFY(!rig.judged.last().accepted);
    QVERIFY(!rig.timerRx.isActive());

    rig.controller.MonitoringCommand_Click();
    rig.answer(test::radarBlocks(0x3C, 64).first(4000));
    QCOMPARE(
        rig.boxes["TextTerminaTextBox"], QString("Receive Buffer Length Too Short Smaller Then 4352 Bytes"));
}

void TstRadarController::fileWrites()
{
    Rig rig;
    FakeSink sink;
    rig.controller.setFileSink(&sink);
    rig.controller.inputs().numOfAutomeasurement = 2;
    for (int i = 0; i < 3; ++i) {
        rig.controller.SendStatus_Click();
        rig.answer(sendStatusReply(20000, 20));
    }
    QCOMPARE(sink.records, 1); // at the second, the end of the series
    QCOMPARE(sink.lastRecord.lines().size(), 8);

    rig.controller.inputs().spectrum = true;
    rig.controller.MonitoringCommand_Click();
    rig.answer(test::radarBlocks(0x3C, 64));
    QCOMPARE(sink.monitoring, QList<MonitoringKind> { MonitoringKind::Spectrum });

    sink.fail = true;
    rig.controller.MonitoringCommand_Click();
    rig.answer(test::radarBlocks(0x3C, 64));
    QVERIFY(rig.judged.last().fileFailed);

    rig.controller.inputs().saveToFile = false;
    rig.controller.MonitoringCommand_Click();
    rig.answer(test::radarBlocks(0x3C, 64));
    QCOMPARE(sink.monitoring.size(), 2);
    QVERIFY(!rig.judged.last().fileFailed);
}

void TstRadarController::bytesOutsideTheWaitAreDropped()
{
    Rig rig;
    rig.link.receive(hex("55 AA 05 00 00")); // nobody asked
    rig.controller.Standby_Click();
    rig.answer(hex("55 AA 05 00 00 00 00 00 00 00 00 00 04"));
    QCOMPARE(rig.boxes["ReceiveBuffSize"], QString("13"));
    rig.link.receive(hex("55 AA 05 00 00 00 00 00 00 00 00 00 04")); // late, after the judgement
    rig.controller.SendStatus_Click();
    rig.answer({});
    QCOMPARE(rig.boxes["TextTerminaTextBox"], QString("No Response"));
}

void TstRadarController::rtsTurnAround()
{
    Rig rig;
    RadarLink& link = rig.controller.link();
    QCOMPARE(link.turnAroundMs(18), 22); // 18.75 ms on the wire at 9600 and 2.5 ms hold
    link.setRtsDelayCount(0);
    QCOMPARE(link.turnAroundMs(18), 19);
    link.setLineSettings(QStringLiteral("115200,n,8,1"));
    link.setRtsDelayCount(250000);
    QCOMPARE(link.turnAroundMs(24), 5);
    link.setLineSettings(QStringLiteral("19200,e,8,2"));
    QCOMPARE(link.turnAroundMs(18), 14); // 12 bits a character: 11.25 ms + 2.5 ms

    QSignalSpy rts(&link, &RadarLink::rtsChanged);
    rig.controller.inputs().rtsDelayCount = 0;
    rig.controller.Track_Click();
    QVERIFY(link.rts());
    QVERIFY(rig.link.rts);
    // Low only once the driver took the frame and its time on the wire has passed.
    QVERIFY(rts.wait(kGuardMs));
    QVERIFY(rts.size() >= 2 || rts.wait(kGuardMs));
    QCOMPARE(rts.last().at(0).toBool(), false);
    QVERIFY(!rig.link.rts);

    // A closed port takes nothing: RTS drops at once and the wait still ends in "No Response".
    rig.link.opened = false;
    rig.controller.Standby_Click();
    QVERIFY(!link.rts());
    rig.answer({});
    QCOMPARE(rig.boxes["TextTerminaTextBox"], QString("No Response"));
}

QTEST_GUILESS_MAIN(TstRadarController)
#include "tst_radar_controller.moc"
