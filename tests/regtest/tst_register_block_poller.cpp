#include "regtest/range_check.h"
#include "regtest/register_block_poller.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"

#include <QSignalSpy>
#include <QTest>

using velto::regtest::RegisterBlockPoller;
using velto::test::FakeModbusMaster;
namespace rt = velto::regtest;

namespace {

constexpr int kFastTickMs = 5;
// Longer than the two-second burst; only catches hangs.
constexpr int kBurstGuardMs = 6000;

struct Rig {
    FakeModbusMaster master;
    QTimer timer;
    int opens = 0;
    bool openSucceeds = true;
    RegisterBlockPoller poller { master, timer, [this] {
                                    ++opens;
                                    master.open = openSucceeds;
                                    return openSucceeds;
                                } };
    QStringList errorTexts;
    QList<QStringList> values;

    Rig()
    {
        timer.setInterval(kFastTickMs);
        QObject::connect(&poller, &RegisterBlockPoller::errorTextChanged, &poller,
            [this](const QString& text) { errorTexts << text; });
        QObject::connect(&poller, &RegisterBlockPoller::valuesChanged, &poller,
            [this](const QStringList& v) { values << v; });
    }
};

} // namespace

class TstRegisterBlockPoller : public QObject {
    Q_OBJECT
private slots:
    void rangeRules_data();
    void rangeRules();
    void registerLabels();

    void periodicReadsTheBlockAsSignedValues();
    void failuresZeroTheBlockAndCountTimeoutsApart();
    void tickWhileInFlightIsSkipped();
    void singleRequestIsUncountedAndClosesThePort();
    void burstEndWaitsForTheAnswerInFlight();
    void pauseResumeAndStop();
    void portThatWillNotOpenStartsNothing();
};

void TstRegisterBlockPoller::rangeRules_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("message");

    const QString length
        = QStringLiteral("Wrong value. Enter a valid lenght value, between 1 to 50 (default value 10)");
    const QString start
        = QStringLiteral("Wrong value. Enter a valid address value, between 1 to 9999 (default value 1)");
    const QString device = QStringLiteral(
        "Wrong value. Enter a valid device address value, between 1 to 255 (default value 1)");
    const QString id3
        = QStringLiteral("Wrong value. Enter a valid ID3 value, between 1 to 255 (default value 1)");
    QTest::newRow("length 1") << "length"
                              << "1" << 1 << QString();
    QTest::newRow("length 50") << "length"
                               << "50" << 50 << QString();
    QTest::newRow("length 51") << "length"
                               << "51" << 10 << length;
    QTest::newRow("length 0") << "length"
                              << "0" << 10 << length;
    QTest::newRow("length empty") << "length"
                                  << "" << 10 << length;
    QTest::newRow("length text") << "length"
                                 << "1O" << 10 << length;
    QTest::newRow("start 9999") << "start"
                                << "9999" << 9999 << QString();
    QTest::newRow("start 10000") << "start"
                                 << "10000" << 1 << start;
    QTest::newRow("start -1") << "start"
                              << "-1" << 1 << start;
    QTest::newRow("device 255") << "device"
                                << " 255 " << 255 << QString();
    QTest::newRow("device 0 is broadcast") << "device"
                                           << "0" << 1 << device;
    QTest::newRow("device 256") << "device"
                                << "256" << 1 << device;
    QTest::newRow("ID3 0") << "id3"
                           << "0" << 1 << id3;
    QTest::newRow("ID3 17") << "id3"
                            << "17" << 17 << QString();
}

void TstRegisterBlockPoller::rangeRules()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(QString, message);

    const velto::RangeRule rule = box == "length" ? rt::lengthRule()
        : box == "start"                          ? rt::startAddressRule()
        : box == "device"                         ? rt::deviceAddressRule()
                                                  : rt::deviceIdRule(3);
    velto::test::FakePrompter prompter;
    const auto decision = velto::checkRangeText(text, rule, prompter);
    QCOMPARE(decision.value, value);
    if (message.isEmpty()) {
        QVERIFY(prompter.messages.isEmpty());
        QVERIFY(!decision.replacementText);
    } else {
        QCOMPARE(prompter.texts(), QStringList { message });
        QCOMPARE(decision.replacementText.value_or(QString()), QString::number(value));
    }
}

void TstRegisterBlockPoller::registerLabels()
{
    QCOMPARE(rt::holdingRegisterLabel(1, 0), 40001);
    QCOMPARE(rt::holdingRegisterLabel(1, 9), 40010);
    QCOMPARE(rt::holdingRegisterLabel(9999, 49), 50048);
}

void TstRegisterBlockPoller::periodicReadsTheBlockAsSignedValues()
{
    Rig rig;
    rig.poller.setCurrentSlaveId(17);
    rig.poller.setStartAddress(5);
    rig.poller.setLength(3);
    rig.master.scripted.enqueue(FakeModbusMaster::ok({ 1, 0xFFFF, 0x8000 }));
    QSignalSpy counters(&rig.poller, &RegisterBlockPoller::countersChanged);

    rig.poller.periodicalRequest();
    QCOMPARE(rig.opens, 1);
    QCOMPARE(rig.poller.mode(), RegisterBlockPoller::Mode::Periodic);
    QCOMPARE(rig.poller.SingleRequest(), 1);
    QTRY_VERIFY(!rig.values.isEmpty());
    QCOMPARE(rig.values.first(), (QStringList { "1", "-1", "-32768" }));
    const auto& request = rig.master.requests.first();
    QCOMPARE(request.slave, 17);
    QCOMPARE(request.start, 4); // counted from 1 in the box, from 0 on the line
    QCOMPARE(request.count, 3);
    QCOMPARE(counters.first().at(0).toInt(), 1);
    QCOMPARE(counters.first().at(1).toInt(), 1);
    QCOMPARE(counters.first().at(2).toInt(), 0);
    // The error box is not emptied while the answer is awaited: it goes from one outcome to the next.
    QCOMPARE(rig.errorTexts.first(), QString("No error"));
    QVERIFY(!rig.errorTexts.contains(QString()));

    // A second Periodical Request neither reopens the port nor restarts anything.
    rig.poller.periodicalRequest();
    QCOMPARE(rig.opens, 1);
    QTRY_VERIFY(rig.poller.NumOfPollsSingMulReg() >= 3);
    rig.poller.resetCounters();
    QCOMPARE(rig.poller.NumOfPollsSingMulReg(), 0);
    QCOMPARE(rig.poller.NumOfResponseSingMulReg(), 0);
}

void TstRegisterBlockPoller::failuresZeroTheBlockAndCountTimeoutsApart()
{
    Rig rig;
    rig.poller.setLength(4);
    rig.master.holdReplies = true;
    rig.master.scripted << FakeModbusMaster::timeout()
                        << FakeModbusMaster::failure(102, "Illegal Data Address (exception 2)");
    rig.master.open = true;

    rig.poller.tick();
    rig.master.release();
    QCOMPARE(rig.values.last(), QStringList(4, "0"));
    QCOMPARE(rig.errorTexts.last(), QString("Response timeout."));
    rig.poller.tick();
    rig.master.release();
    QCOMPARE(rig.errorTexts.last(), QString("Illegal Data Address (exception 2)"));
    QCOMPARE(rig.poller.NumOfPollsSingMulReg(), 2);
    QCOMPARE(rig.poller.NumOfResponseSingMulReg(), 0);
    QCOMPARE(rig.poller.TimeuotCouterSingMulReg(), 1);

    // A short answer is no answer: the block is zeroed and the reply is not counted valid.
    rig.master.scripted << FakeModbusMaster::ok({ 7, 8 });
    rig.poller.tick();
    rig.master.release();
    QCOMPARE(rig.values.last(), QStringList(4, "0"));
    QCOMPARE(rig.poller.NumOfPollsSingMulReg(), 3);
    QCOMPARE(rig.poller.NumOfResponseSingMulReg(), 0);
    QVERIFY2(rig.errorTexts.last().startsWith("Invalid response"), qPrintable(rig.errorTexts.last()));
}

void TstRegisterBlockPoller::tickWhileInFlightIsSkipped()
{
    Rig rig;
    rig.master.holdReplies = true;
    rig.poller.tick();
    QVERIFY(rig.poller.requestInFlight());
    rig.poller.tick();
    rig.poller.tick();
    QCOMPARE(rig.master.requests.size(), 1);
    rig.master.release();
    QVERIFY(!rig.poller.requestInFlight());

    // Another caller's request holds the master: the tick is dropped, not queued.
    QObject other;
    rig.master.readRegisters(9, 0, 1, &other, [](const velto::modbus::ModbusResult&) {});
    rig.poller.tick();
    QCOMPARE(rig.master.requests.size(), 2);
    QCOMPARE(rig.poller.NumOfPollsSingMulReg(), 1);
}

void TstRegisterBlockPoller::singleRequestIsUncountedAndClosesThePort()
{
    Rig rig;
    // Three answers, then a time-out, then successes until the burst ends.
    rig.master.scripted << FakeModbusMaster::ok({ 1 }) << FakeModbusMaster::ok({ 2 })
                        << FakeModbusMaster::ok({ 3 }) << FakeModbusMaster::timeout();
    rig.poller.setLength(1);
    rig.poller.singleRequest();
    QCOMPARE(rig.poller.SingleRequest(), 0);
    QCOMPARE(rig.poller.mode(), RegisterBlockPoller::Mode::Single);
    QVERIFY(rig.timer.isActive());
    QVERIFY(rig.poller.burstTimer().isActive());
    QCOMPARE(rig.poller.burstTimer().interval(), RegisterBlockPoller::kSingleRequestBurstMs);
    // Pressing it again mid-burst does not stretch the burst or reopen the port.
    rig.poller.singleRequest();
    QCOMPARE(rig.opens, 1);

    // The test ends the burst once the requests it counts are made, whatever the machine's load.
    rig.poller.burstTimer().stop();
    QTRY_VERIFY_WITH_TIMEOUT(rig.master.requests.size() > 4, kBurstGuardMs);
    rig.poller.endBurst();
    QTRY_COMPARE_WITH_TIMEOUT(rig.poller.mode(), RegisterBlockPoller::Mode::Idle, kBurstGuardMs);
    QTRY_VERIFY(!rig.master.portOpen());
    QVERIFY(!rig.timer.isActive());
    QVERIFY(rig.master.requests.size() > 4);
    QCOMPARE(rig.poller.NumOfPollsSingMulReg(), 0);
    QCOMPARE(rig.poller.NumOfResponseSingMulReg(), 0);
    // Time-outs count whatever the kind of request.
    QCOMPARE(rig.poller.TimeuotCouterSingMulReg(), 1);
    QCOMPARE(rig.values.first(), QStringList { "1" });
    QCOMPARE(rig.errorTexts.last(), RegisterBlockPoller::kDeviceNotConnected);
    QCOMPARE(rig.poller.SingleRequest(), 1);
}

void TstRegisterBlockPoller::burstEndWaitsForTheAnswerInFlight()
{
    Rig rig;
    rig.master.holdReplies = true;
    rig.master.scripted << FakeModbusMaster::ok({ 42 });
    rig.poller.setLength(1);
    rig.poller.singleRequest();
    QTRY_VERIFY(rig.poller.requestInFlight());
    rig.poller.endBurst();
    QCOMPARE(rig.poller.mode(), RegisterBlockPoller::Mode::Idle);
    // The port stays open until the outstanding answer is in, so it is not turned into an abort.
    QVERIFY(rig.master.portOpen());
    rig.master.release();
    QCOMPARE(rig.values.last(), QStringList { "42" });
    QVERIFY(!rig.master.portOpen());
    QCOMPARE(rig.errorTexts.last(), RegisterBlockPoller::kDeviceNotConnected);
    // The answer belonged to the burst: not counted although it came after it.
    QCOMPARE(rig.poller.NumOfPollsSingMulReg(), 0);
}

void TstRegisterBlockPoller::pauseResumeAndStop()
{
    Rig rig;
    // An idle poller stays idle after an edit: nothing polls a closed port.
    rig.poller.pause();
    rig.poller.resume();
    QVERIFY(!rig.timer.isActive());

    rig.poller.periodicalRequest();
    rig.poller.pause();
    QVERIFY(!rig.timer.isActive());
    // Periodical Request pressed during the edit waits for the edit too.
    rig.poller.periodicalRequest();
    QVERIFY(!rig.timer.isActive());
    rig.poller.resume();
    QVERIFY(rig.timer.isActive());

    rig.poller.stopPeriodicalRequest();
    QVERIFY(!rig.timer.isActive());
    QTRY_VERIFY(!rig.master.portOpen());
    QCOMPARE(rig.errorTexts.last(), RegisterBlockPoller::kDeviceNotConnected);
    rig.poller.resume();
    QVERIFY(!rig.timer.isActive());
}

void TstRegisterBlockPoller::portThatWillNotOpenStartsNothing()
{
    Rig rig;
    rig.openSucceeds = false;
    rig.poller.periodicalRequest();
    QVERIFY(!rig.timer.isActive());
    QCOMPARE(rig.poller.mode(), RegisterBlockPoller::Mode::Idle);
    rig.poller.singleRequest();
    QVERIFY(!rig.timer.isActive());
    QCOMPARE(rig.poller.SingleRequest(), 1);
    QCOMPARE(rig.errorTexts.last(), RegisterBlockPoller::kDeviceNotConnected);
    QVERIFY(rig.master.requests.isEmpty());
}

QTEST_GUILESS_MAIN(TstRegisterBlockPoller)
#include "tst_register_block_poller.moc"
