#include "calibration/calibration_message.h"
#include "sim/frame_splitter.h"
#include "sim/manual_clock.h"
#include "sim/sensor_simulator.h"
#include "sim/velto_ascii.h"
#include "support/byte_values.h"

#include <QTest>

using namespace velto;
using namespace velto::sim;
using test::bytes;

namespace {

constexpr int kGainIndex = 1;
constexpr int kTBMinIndex = 3;

} // namespace

// The simulated multi-sensor unit: what it keeps from the program's messages, what it ignores, and
// how the shared line tells its messages from the Velto ASCII requests that also begin with '!'.
class TstCalibrationUnit : public QObject {
    Q_OBJECT
private slots:
    void keepsWhatTheProgramSends();
    void followUpAppliesAndDefaultsRestore();
    void malformedMessagesChangeNothing_data();
    void malformedMessagesChangeNothing();
    void lineRoutesBySecondByte();
    void messagesSplitAnywhere();
    void garbageBeforeAMessage();
};

void TstCalibrationUnit::keepsWhatTheProgramSends()
{
    ManualClock clock;
    SensorSimulator sim(clock);
    CalibrationUnit& unit = sim.calibrationUnit();
    QCOMPARE(sim.feed(calibration::codeMessage('B', 70)), QByteArray());
    QCOMPARE(unit.transceiverWord(kGainIndex), quint16(0x4600));
    QCOMPARE(sim.feed(calibration::codeMessage('D', 500)), QByteArray());
    QCOMPARE(unit.transceiverWord(kTBMinIndex), quint16(0x1F40));
    QCOMPARE(sim.feed(calibration::codeMessage('K', 56484)), QByteArray());
    QCOMPARE(unit.currentWord(4), quint16(0xDCA4));
    QCOMPARE(sim.feed(calibration::relayMessage(3, true)), QByteArray());
    QVERIFY(unit.relay(3));
    sim.feed(calibration::relayMessage(calibration::kMultiSensorRelay, true));
    QVERIFY(unit.relay(CalibrationUnit::kRelaySwitches));
    sim.feed(calibration::relayMessage(3, false));
    QVERIFY(!unit.relay(3));
    QCOMPARE(unit.accepted(), 6);
    QCOMPARE(unit.rejected(), 0);
    QCOMPARE(unit.lastMessage(), calibration::relayMessage(3, false));
}

void TstCalibrationUnit::followUpAppliesAndDefaultsRestore()
{
    CalibrationUnit unit;
    unit.receive(calibration::codeMessage('B', 200));
    QVERIFY(unit.awaitingFollowUp());
    QCOMPARE(unit.appliedTransceiverWord(kGainIndex), quint16(0x4600));
    unit.receive(calibration::followUpMessage());
    QVERIFY(!unit.awaitingFollowUp());
    QCOMPARE(unit.appliedTransceiverWord(kGainIndex), quint16(0xC800));
    QCOMPARE(unit.followUps(), 1);

    unit.receive(calibration::defaultsMessage());
    QCOMPARE(unit.defaultsRestored(), 1);
    QCOMPARE(unit.transceiverWord(kGainIndex), quint16(0x4600));
    QCOMPARE(unit.appliedTransceiverWord(kGainIndex), quint16(0xC800));
    unit.receive(calibration::followUpMessage());
    // The defaults are what the program sends for its default codes.
    const auto defaults = CalibrationUnit::defaultTransceiverWords();
    const int defaultCodes[] = { 14, 70, 65, 500, 150, 0 };
    for (int i = 0; i < CalibrationUnit::kTransceiverWords; ++i) {
        const auto sent = calibration::codeBytes(quint16(defaultCodes[i]));
        QCOMPARE(defaults[size_t(i)], quint16(sent.high << 8 | sent.low));
        QCOMPARE(unit.appliedTransceiverWord(i), defaults[size_t(i)]);
    }
}

void TstCalibrationUnit::malformedMessagesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("wrong XOR") << bytes({ 0x21, 0x42, 0x50, 0x00, 0x25, 0x40 });
    QTest::newRow("relay state 2") << calibration::buildMessage('Q', { 0, 2 });
    QTest::newRow("relay state in the high byte") << calibration::buildMessage('Q', { 1, 0 });
    QTest::newRow("follow-up with data") << calibration::buildMessage('M', { 0, 1 });
    QTest::newRow("defaults with data") << calibration::buildMessage('N', { 0x46, 0 });
    QTest::newRow("short") << bytes({ 0x21, 0x42, 0x50, 0x00, 0x25 });
}

void TstCalibrationUnit::malformedMessagesChangeNothing()
{
    QFETCH(QByteArray, message);
    CalibrationUnit unit;
    int told = 0;
    unit.onMessage = [&told](QByteArrayView, bool accepted) { told += accepted ? 100 : 1; };
    unit.receive(message);
    QCOMPARE(unit.rejected(), 1);
    QCOMPARE(unit.accepted(), 0);
    QCOMPARE(told, 1);
    QCOMPARE(unit.transceiverWord(kGainIndex), quint16(0x4600));
    QCOMPARE(unit.defaultsRestored(), 0);
    QCOMPARE(unit.followUps(), 0);
    for (int relay = 1; relay <= CalibrationUnit::kRelaySwitches; ++relay)
        QVERIFY(!unit.relay(relay));
}

void TstCalibrationUnit::lineRoutesBySecondByte()
{
    ManualClock clock;
    SensorSimulator sim(clock);
    const QByteArray ascii
        = buildVeltoRequest({ SensorSimulator::kAsciiSingleAddress, 0, velto_cmd::kLevel, 0 });
    const QByteArray alone = sim.feed(ascii);
    QVERIFY(!alone.isEmpty());
    // A calibration message on either side of an ASCII request: the request is still answered
    // exactly once and the unit takes both messages.
    const QByteArray mixed
        = sim.feed(calibration::codeMessage('B', 90) + ascii + calibration::relayMessage(1, true));
    QCOMPARE(mixed.size(), alone.size());
    QCOMPARE(sim.calibrationUnit().accepted(), 2);
    QCOMPARE(sim.calibrationUnit().transceiverWord(kGainIndex), quint16(0x5A00));
    QVERIFY(sim.calibrationUnit().relay(1));

    FrameSplitter splitter;
    const auto frames = splitter.feed(calibration::followUpMessage() + ascii);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].kind, FrameSplitter::Kind::Calibration);
    QCOMPARE(frames[1].kind, FrameSplitter::Kind::Ascii);
}

void TstCalibrationUnit::messagesSplitAnywhere()
{
    const QByteArray stream = calibration::codeMessage('A', 33) + calibration::followUpMessage()
        + calibration::relayMessage(6, true);
    for (int cut = 1; cut < stream.size(); ++cut) {
        ManualClock clock;
        SensorSimulator sim(clock);
        sim.feed(stream.first(cut));
        sim.feed(stream.sliced(cut));
        QCOMPARE(sim.calibrationUnit().accepted(), 3);
        QCOMPARE(sim.calibrationUnit().followUps(), 1);
        QCOMPARE(sim.calibrationUnit().appliedTransceiverWord(0), quint16(0x2100));
        QVERIFY(sim.calibrationUnit().relay(6));
        QCOMPARE(sim.pendingBytes(), 0);
    }
}

void TstCalibrationUnit::garbageBeforeAMessage()
{
    ManualClock clock;
    SensorSimulator sim(clock);
    // A broken message (its end byte lost) and stray bytes, then a good one: only the good one counts.
    const QByteArray broken = calibration::codeMessage('B', 10).first(5);
    sim.feed(broken + bytes({ '!', 'Z', 0x00 }) + calibration::codeMessage('C', 100));
    QCOMPARE(sim.calibrationUnit().accepted(), 1);
    QCOMPARE(sim.calibrationUnit().transceiverWord(2), quint16(0x6400));
    QCOMPARE(sim.calibrationUnit().transceiverWord(kGainIndex), quint16(0x4600));
}

QTEST_APPLESS_MAIN(TstCalibrationUnit)
#include "tst_calibration_unit.moc"
