#include "support/fake_byte_link.h"
#include "veltoproto/velto_poller.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto;
using namespace velto::veltoproto;
using velto::test::FakeByteLink;

namespace {

// A single sensor's reply; the poller below asks address 5.
QByteArray singleReply(
    const QByteArray& command, const QByteArray& value, char status, const QByteArray& address = "05")
{
    QByteArray body = address + "0203" + command + value + status;
    int sum = 0;
    for (char c : body)
        sum += c - '0';
    return '!' + body + QByteArray::number(sum).rightJustified(2, '0') + '\r';
}

// The sensor digit (position 4) of each request written.
QByteArray sensorDigits(const QList<QByteArray>& frames)
{
    QByteArray out;
    for (const QByteArray& f : frames)
        out += f.at(3);
    return out;
}

QByteArray commandCodes(const QList<QByteArray>& frames)
{
    QByteArray out;
    for (const QByteArray& f : frames)
        out += f.mid(7, 2) + ' ';
    return out.trimmed();
}

} // namespace

class TestVeltoPoller : public QObject {
    Q_OBJECT

    static constexpr int kIdleMs = 3600 * 1000;
    static constexpr int kRequestsPerTick = 4;

    FakeByteLink* link = nullptr;
    VeltoPoller* poller = nullptr;

    // Ends every wait of the tick in progress, as the reply timer would.
    void finishWaits()
    {
        for (int i = 0; i < kRequestsPerTick && poller->tickInProgress(); ++i)
            poller->replyWaitOver();
    }
    void runTick()
    {
        poller->tick();
        finishWaits();
    }

private slots:
    void init()
    {
        link = new FakeByteLink;
        link->open(QStringLiteral("sim"), QStringLiteral("9600,n,8,1"));
        poller = new VeltoPoller(*link);
        poller->setProtocolMode(true);
        poller->setAddress(5);
        poller->start();
        // Ticks and reply waits are driven by hand; keep the timers from adding their own, so a
        // loaded machine cannot fire two waits between two checks.
        poller->tickTimer().setInterval(kIdleMs);
        poller->replyTimer().setInterval(kIdleMs);
    }
    void cleanup()
    {
        delete poller;
        delete link;
    }

    void fourRequestsPerTickAlternatingSensors()
    {
        QSignalSpy finished(poller, &VeltoPoller::tickFinished);
        runTick();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(link->written.size(), 4);
        QCOMPARE(commandCodes(link->written), QByteArray("01 06 04 09"));
        QCOMPARE(sensorDigits(link->written), QByteArray("0101"));
        QCOMPARE(link->written.first(), QByteArray("!050202010010\r"));

        runTick();
        QCOMPARE(finished.size(), 2);
        QCOMPARE(sensorDigits(link->written.mid(4)), QByteArray("1010"));
    }

    void nextRequestWaitsForTheReception()
    {
        QSignalSpy updates(poller, &VeltoPoller::displayUpdated);
        poller->tick();
        QCOMPARE(link->written.size(), 1);
        QVERIFY(poller->tickInProgress());
        link->receive(singleReply("01", "750", '0'));
        // Nothing is read before the wait is over.
        QCOMPARE(updates.size(), 0);
        poller->replyWaitOver();
        QCOMPARE(link->written.size(), 2);
        // The reply was read before the second request was built.
        QCOMPARE(updates.size(), 1);
        QCOMPARE(link->bytesAvailable(), 0);
        QCOMPARE(poller->state().sensors[0].distance, 750);
        const auto update = updates.first().first().value<DisplayUpdate>();
        QCOMPARE(update.layout, Layout::SingleSensor);
        finishWaits();
        QVERIFY(!poller->tickInProgress());
    }

    // Only the answer to the request out counts: a reply in another address's name, or for another
    // quantity (a late one), is rejected whole and changes nothing.
    void replyToAnotherRequestIsRejected_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the distance from address 5") << singleReply("01", "750", '0') << true;
        QTest::newRow("the distance from address 6") << singleReply("01", "750", '0', "06") << false;
        QTest::newRow("the distance from address 50") << singleReply("01", "750", '0', "50") << false;
        QTest::newRow("the level from address 5") << singleReply("09", "750", '0') << false;
    }
    void replyToAnotherRequestIsRejected()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, accepted);
        QSignalSpy updates(poller, &VeltoPoller::displayUpdated);
        const VeltoState before = poller->state();
        poller->tick();
        link->receive(reply);
        poller->replyWaitOver();
        QCOMPARE(updates.size(), 1);
        QCOMPARE(updates.first().first().value<DisplayUpdate>().accepted, accepted);
        QCOMPARE(poller->state() == before, !accepted);
        QCOMPARE(poller->state().sensors[0].distance, accepted ? 750 : 0);
    }

    void singleWaitingByteIsLeftForTheNextRead()
    {
        QSignalSpy updates(poller, &VeltoPoller::displayUpdated);
        poller->tick();
        link->receive("!");
        poller->replyWaitOver();
        QCOMPARE(link->written.size(), 2);
        QCOMPARE(updates.size(), 0);
        QCOMPARE(link->bytesAvailable(), 1);
    }

    void stopBetweenRequestsSendsNothingMore()
    {
        QSignalSpy finished(poller, &VeltoPoller::tickFinished);
        poller->tick();
        QCOMPARE(link->written.size(), 1);
        poller->stop();
        QCOMPARE(finished.size(), 1);
        QVERIFY(!poller->tickInProgress());
        QCOMPARE(link->written.size(), 1);
        // The flips of the unsent requests stand: the next tick starts with the other digit.
        QCOMPARE(poller->sensorSelect(), true);
        link->receive(singleReply("01", "750", '0'));
        poller->tick();
        QCOMPARE(link->written.size(), 1);
    }

    // A mode change in reaction to a shown reply stops the rest of the tick.
    void stopFromDisplaySlot()
    {
        QSignalSpy finished(poller, &VeltoPoller::tickFinished);
        connect(poller, &VeltoPoller::displayUpdated, poller, [this] { poller->stop(); });
        poller->tick();
        link->receive(singleReply("01", "750", '0'));
        poller->replyWaitOver();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(link->written.size(), 1);
        QCOMPARE(poller->sensorSelect(), true);
    }

    void withoutProtocolModeTickOnlyBlinks()
    {
        poller->setProtocolMode(false);
        QSignalSpy blinks(poller, &VeltoPoller::blink);
        poller->tick();
        QCOMPARE(blinks.size(), 1);
        QVERIFY(!poller->tickInProgress());
        QVERIFY(link->written.isEmpty());
    }

    void tickDuringReceptionIsSkipped()
    {
        QSignalSpy finished(poller, &VeltoPoller::tickFinished);
        poller->tick();
        poller->tick();
        QCOMPARE(link->written.size(), 1);
        finishWaits();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(link->written.size(), 4);
    }

    void unitChangeRefreshesInNewUnit()
    {
        poller->tick();
        link->receive(singleReply("01", "000", '0'));
        poller->replyWaitOver();
        link->receive(singleReply("06", "500", '0'));
        poller->replyWaitOver();
        QCOMPARE(link->written.size(), 3);
        poller->setUnitText(0, u"Inch");
        const QList<BoxUpdate> boxes = poller->sensorValues(0);
        const auto height = std::find_if(boxes.begin(), boxes.end(),
            [](const BoxUpdate& b) { return b.objectName == QLatin1String("IrVeltoTnakHeight"); });
        QVERIFY(height != boxes.end());
        QCOMPARE(*height->text, QStringLiteral("19.685"));
    }
};

QTEST_GUILESS_MAIN(TestVeltoPoller)
#include "tst_velto_poller.moc"
