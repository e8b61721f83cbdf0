#include "modbus/multi_device_poller.h"
#include "modbus/single_sensor_poller.h"
#include "modbus/two_sensor_alternation.h"
#include "support/fake_modbus_master.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto;
using namespace velto::modbus;
using velto::test::FakeModbusMaster;

namespace {

QList<QPair<int, int>> groupsRead(const FakeModbusMaster& master)
{
    QList<QPair<int, int>> groups;
    for (const auto& r : master.requests)
        groups << qMakePair(r.start, r.count);
    return groups;
}

QList<int> slavesRead(const FakeModbusMaster& master)
{
    QList<int> slaves;
    for (const auto& r : master.requests)
        slaves << r.slave;
    return slaves;
}

template <typename Poller> void tickAndSettle(Poller& poller)
{
    poller.tick();
    QTRY_VERIFY(!poller.requestInFlight());
}

} // namespace

class TestPollers : public QObject {
    Q_OBJECT

private slots:
    void singleReadsGroupsInTurn();
    void singleCountsOutcomes();
    void answersThatDoNotFitNeverCount();
    void singleSkipsTickWhileInFlight();
    void singleSkipsTickWhileMasterBusyElsewhere();
    void singleInVeltoModeOnlyBlinks();
    void singleDecodesWithUnitOfEarlierGroup();
    void singleDestroyedWithRequestOut();
    void multiPollsDevicesDownwards();
    void multiShowsSignedValuesOrZeros();
    void multiSkipsTickWhileInFlight();
    void multiPassesOverBadAddress();
    void twoSensorAlternation();
};

void TestPollers::singleReadsGroupsInTurn()
{
    FakeModbusMaster master;
    SingleSensorPoller poller(master);
    poller.setCurrentSlaveId(7);
    for (int i = 0; i < 7; ++i)
        tickAndSettle(poller);
    const QList<QPair<int, int>> expected { { 51, 16 }, { 0, 8 }, { 192, 5 }, { 51, 16 }, { 0, 8 },
        { 192, 5 }, { 51, 16 } };
    QCOMPARE(groupsRead(master), expected);
    QCOMPARE(slavesRead(master), QList<int>(7, 7));
    QCOMPARE(poller.ModbusReadStep(), 2);
}

void TestPollers::singleCountsOutcomes()
{
    FakeModbusMaster master;
    master.scripted << FakeModbusMaster::ok() << FakeModbusMaster::timeout()
                    << FakeModbusMaster::failure(2, "Illegal data address");
    SingleSensorPoller poller(master);
    QSignalSpy counters(&poller, &SingleSensorPoller::countersChanged);
    QSignalSpy errors(&poller, &SingleSensorPoller::errorTextChanged);
    QSignalSpy failed(&poller, &SingleSensorPoller::groupFailed);
    QSignalSpy boxes(&poller, &SingleSensorPoller::boxesUpdated);

    tickAndSettle(poller);
    QCOMPARE(counters.last(), QVariantList({ 1, 1, 0 }));
    tickAndSettle(poller);
    QCOMPARE(counters.last(), QVariantList({ 2, 1, 1 })); // time-out: polled and lost, not valid
    tickAndSettle(poller);
    QCOMPARE(counters.last(), QVariantList({ 3, 1, 1 })); // other failure: polled only

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(failed.size(), 2);
    QCOMPARE(failed.at(0).at(1).toInt(), int(StatusTimeout));
    QCOMPARE(failed.at(1).at(1).toInt(), 2);
    QCOMPARE(failed.at(1).at(2).toString(), QStringLiteral("Illegal data address"));
    // Each outcome replaces the last one; the box is never emptied while an answer is awaited.
    QStringList texts;
    for (const auto& args : errors)
        texts << args.at(0).toString();
    QCOMPARE(texts, QStringList({ "No error", "Response timeout.", "Illegal data address" }));

    poller.resetCounters();
    QCOMPARE(counters.last(), QVariantList({ 0, 0, 0 }));
    QCOMPARE(poller.NumOfPollsOneDevice() + poller.NumOfResponseOneDevice() + poller.TimeoutCoubter(), 0);
}

void TestPollers::answersThatDoNotFitNeverCount()
{
    FakeModbusMaster master;
    // The static group answered with 15 of its 16 registers, the dynamic group with 16 instead of 8.
    master.scripted << FakeModbusMaster::ok(QList<quint16>(15, 7))
                    << FakeModbusMaster::ok(QList<quint16>(16, 7));
    SingleSensorPoller single(master);
    QSignalSpy boxes(&single, &SingleSensorPoller::boxesUpdated);
    QSignalSpy failed(&single, &SingleSensorPoller::groupFailed);
    tickAndSettle(single);
    tickAndSettle(single);
    QCOMPARE(single.NumOfPollsOneDevice(), 2);
    QCOMPARE(single.NumOfResponseOneDevice(), 0);
    QCOMPARE(single.TimeoutCoubter(), 0);
    QVERIFY(boxes.isEmpty());
    QCOMPARE(failed.size(), 2);
    QCOMPARE(failed.at(0).at(1).toInt(), int(StatusInvalidResponse));
    QVERIFY(failed.at(1).at(2).toString().contains("16 registers received for 8 requested"));

    // Seven of a device's eight registers: zeros, a failure and its reason, not "No error".
    MultiDevicePoller multi(master);
    master.scripted << FakeModbusMaster::ok(QList<quint16>(7, 5));
    QSignalSpy values(&multi, &MultiDevicePoller::deviceValuesChanged);
    QSignalSpy errors(&multi, &MultiDevicePoller::errorTextChanged);
    tickAndSettle(multi);
    QCOMPARE(multi.NumOfPolls(), 1);
    QCOMPARE(multi.NumOfResponse(), 0);
    QCOMPARE(values.last().at(1).toStringList(), QStringList(8, "0"));
    QVERIFY(errors.last().first().toString().startsWith("Invalid response"));
}

void TestPollers::singleSkipsTickWhileInFlight()
{
    FakeModbusMaster master;
    master.holdReplies = true;
    SingleSensorPoller poller(master);
    QSignalSpy blink(&poller, &SingleSensorPoller::blinkChanged);
    QSignalSpy counters(&poller, &SingleSensorPoller::countersChanged);

    poller.tick();
    QVERIFY(poller.requestInFlight());
    poller.tick();
    poller.tick();
    QCOMPARE(master.requests.size(), 1);
    QCOMPARE(blink.size(), 1);
    QCOMPARE(counters.size(), 0);

    master.release();
    QVERIFY(!poller.requestInFlight());
    QCOMPARE(counters.last(), QVariantList({ 1, 1, 0 }));
    poller.tick();
    QCOMPARE(master.requests.size(), 2);
    QCOMPARE(master.requests.last().start, 0); // the skipped ticks did not advance the step
    QCOMPARE(blink.size(), 2);
    QCOMPARE(blink.last().at(0).toBool(), false);
}

void TestPollers::singleSkipsTickWhileMasterBusyElsewhere()
{
    FakeModbusMaster master;
    master.holdReplies = true;
    QObject otherCaller;
    bool otherDone = false;
    master.writeRegister(1, 51, 100, &otherCaller, [&](const ModbusResult&) { otherDone = true; });

    SingleSensorPoller poller(master);
    poller.tick();
    QCOMPARE(master.requests.size(), 1);
    QVERIFY(!poller.requestInFlight());
    master.release();
    QVERIFY(otherDone);
    poller.tick();
    QCOMPARE(master.requests.size(), 2);
    QCOMPARE(master.requests.last().start, 51);
}

void TestPollers::singleInVeltoModeOnlyBlinks()
{
    FakeModbusMaster master;
    SingleSensorPoller poller(master);
    poller.setVeltoProtocolMode(true);
    QSignalSpy blink(&poller, &SingleSensorPoller::blinkChanged);
    poller.tick();
    poller.tick();
    QCOMPARE(blink.size(), 2);
    QVERIFY(master.requests.isEmpty());
    QCOMPARE(poller.ModbusReadStep(), 1);
}

void TestPollers::singleDecodesWithUnitOfEarlierGroup()
{
    FakeModbusMaster master;
    QList<quint16> staticWords(16, 0);
    staticWords[58 - 51] = 2; // FEET
    staticWords[0] = 150;
    QList<quint16> dynamicWords(8, 0);
    dynamicWords[1] = 25;
    master.scripted << FakeModbusMaster::ok(staticWords) << FakeModbusMaster::ok(dynamicWords);

    SingleSensorPoller poller(master);
    QSignalSpy boxes(&poller, &SingleSensorPoller::boxesUpdated);
    tickAndSettle(poller);
    tickAndSettle(poller);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).at(0).value<GroupKind>(), GroupKind::Static);
    const auto staticLine = formatBoxUpdates(boxes.at(0).at(1).value<QList<BoxUpdate>>());
    QVERIFY2(staticLine.startsWith("IrMeasurementUnit=FEET IrTankHeight=15 LabelTankHeight=feet"),
        qPrintable(staticLine));
    const auto dynamicLine = formatBoxUpdates(boxes.at(1).at(1).value<QList<BoxUpdate>>());
    QVERIFY2(dynamicLine.contains("IrDistance=2.5 LabelDist=feet"), qPrintable(dynamicLine));
}

void TestPollers::singleDestroyedWithRequestOut()
{
    FakeModbusMaster master;
    master.holdReplies = true;
    auto poller = std::make_unique<SingleSensorPoller>(master);
    poller->tick();
    poller.reset();
    master.release(); // must not reach the destroyed poller
    QVERIFY(!master.busy());
}

void TestPollers::multiPollsDevicesDownwards()
{
    FakeModbusMaster master;
    MultiDevicePoller poller(master);
    poller.setAddressTexts({ "11", "12", "13", "14", "15" });
    poller.setNumberOfDevices(3);
    QCOMPARE(poller.NextDeviceIndex(), 3);
    QSignalSpy devices(&poller, &MultiDevicePoller::deviceValuesChanged);
    for (int i = 0; i < 7; ++i)
        tickAndSettle(poller);
    QCOMPARE(slavesRead(master), QList<int>({ 13, 12, 11, 13, 12, 11, 13 }));
    QList<int> order;
    for (const auto& args : devices)
        order << args.at(0).toInt();
    QCOMPARE(order, QList<int>({ 3, 2, 1, 3, 2, 1, 3 }));
    const QList<QPair<int, int>> eightFromZero(7, qMakePair(0, 8));
    QCOMPARE(groupsRead(master), eightFromZero);
    QCOMPARE(poller.NumOfPolls(), 7);
    QCOMPARE(poller.NumOfResponse(), 7);

    poller.setNumberOfDevices(1);
    tickAndSettle(poller);
    tickAndSettle(poller);
    QCOMPARE(slavesRead(master).mid(7), QList<int>({ 11, 11 }));
}

void TestPollers::multiShowsSignedValuesOrZeros()
{
    FakeModbusMaster master;
    master.scripted << FakeModbusMaster::ok({ 1, 0xFFFE, 1200, 2345, 3, 5, 10, 0x8000 })
                    << FakeModbusMaster::timeout() << FakeModbusMaster::failure(4, "Slave device failure");
    MultiDevicePoller poller(master);
    poller.setNumberOfDevices(2);
    QSignalSpy boxes(&poller, &MultiDevicePoller::boxesUpdated);
    QSignalSpy errors(&poller, &MultiDevicePoller::errorTextChanged);
    QSignalSpy counters(&poller, &MultiDevicePoller::countersChanged);

    tickAndSettle(poller);
    const auto device2 = boxes.last().at(0).value<QList<BoxUpdate>>();
    QCOMPARE(formatBoxUpdates(device2),
        QStringLiteral(
            "Text22=1 Text21=-2 Text18=1200 Text16=2345 Text15=3 Text14=5 Text13=10 Text12=-32768"));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.last().at(0).toString(), QStringLiteral("No error"));
    QCOMPARE(counters.last(), QVariantList({ 1, 1, 0 }));

    tickAndSettle(poller);
    QCOMPARE(formatBoxUpdates(boxes.last().at(0).value<QList<BoxUpdate>>()),
        QStringLiteral("Text1=0 Text2=0 Text3=0 Text4=0 Text5=0 Text6=0 Text7=0 Text8=0"));
    QCOMPARE(errors.last().at(0).toString(), QStringLiteral("Response timeout."));
    QCOMPARE(counters.last(), QVariantList({ 2, 1, 1 }));

    tickAndSettle(poller);
    QCOMPARE(boxes.last().at(0).value<QList<BoxUpdate>>().first().objectName, QStringLiteral("Text22"));
    QCOMPARE(errors.last().at(0).toString(), QStringLiteral("Slave device failure"));
    QCOMPARE(counters.last(), QVariantList({ 3, 1, 1 }));

    // Device 1 answers again, device 2 still fails: its failure stays on show while device 1's
    // success would otherwise replace it; once device 2 answers, the box says so.
    master.scripted << FakeModbusMaster::ok() << FakeModbusMaster::ok();
    tickAndSettle(poller);
    QCOMPARE(errors.last().at(0).toString(), QStringLiteral("Slave device failure"));
    tickAndSettle(poller);
    QCOMPARE(errors.last().at(0).toString(), QStringLiteral("No error"));

    poller.resetCounters();
    QCOMPARE(counters.last(), QVariantList({ 0, 0, 0 }));
}

void TestPollers::multiSkipsTickWhileInFlight()
{
    FakeModbusMaster master;
    master.holdReplies = true;
    MultiDevicePoller poller(master);
    poller.setNumberOfDevices(3);
    poller.tick();
    poller.tick();
    QCOMPARE(master.requests.size(), 1);
    QCOMPARE(poller.NextDeviceIndex(), 2);
    master.release();
    poller.tick();
    QCOMPARE(slavesRead(master), QList<int>({ 3, 2 }));
}

void TestPollers::multiPassesOverBadAddress()
{
    FakeModbusMaster master;
    MultiDevicePoller poller(master);
    poller.setNumberOfDevices(2);
    poller.setAddressText(2, "x7");
    QSignalSpy devices(&poller, &MultiDevicePoller::deviceValuesChanged);
    poller.tick();
    QVERIFY(master.requests.isEmpty());
    QCOMPARE(poller.NextDeviceIndex(), 1);
    QCOMPARE(poller.NumOfPolls(), 0);
    tickAndSettle(poller);
    QCOMPARE(slavesRead(master), QList<int>({ 1 }));
    poller.setAddressText(2, " 300");
    poller.tick();
    QCOMPARE(master.requests.size(), 1);
    QCOMPARE(devices.size(), 1);
    // 0 is the broadcast address, never answered: no device is polled there.
    poller.setAddressText(2, "0");
    tickAndSettle(poller);
    tickAndSettle(poller);
    QCOMPARE(slavesRead(master), QList<int>({ 1, 1 }));
}

void TestPollers::twoSensorAlternation()
{
    TwoSensorAlternation alternation;
    QVERIFY(!alternation.SecondSensorTurn());
    const auto first = alternation.next();
    QCOMPARE(first.sensor, 1);
    QCOMPARE(first.idBoxName, QStringLiteral("TxtOrvixId"));
    QVERIFY(alternation.SecondSensorTurn());

    const auto second = alternation.next();
    QCOMPARE(second.sensor, 2);
    QCOMPARE(second.idBoxName, QStringLiteral("TxtOrvix2Id"));
    QCOMPARE(alternation.next().sensor, 1);
}

QTEST_MAIN(TestPollers)
#include "tst_pollers.moc"
