#include "flash/flash_exchange.h"
#include "support/fake_byte_link.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto::flash;
using velto::test::FakeByteLink;

namespace {
// Long enough never to fire in a test that answers by hand.
constexpr int kNeverMs = 600000;
constexpr int kShortMs = 30;
constexpr int kWaitMs = 10000;
const QByteArray kLine = QByteArrayLiteral(":10010000214601360121470136007EFE09D2190140");
} // namespace

class TestFlashExchange : public QObject {
    Q_OBJECT

    FakeByteLink* link = nullptr;
    FlashExchange* exchange = nullptr;
    QStringList statuses;
    QStringList marks;

    void makeExchange(const FlashTimings& timings)
    {
        delete exchange;
        exchange = new FlashExchange(*link, timings);
        connect(exchange, &FlashExchange::statusChanged, this, [this](const QString& t) { statuses << t; });
        connect(exchange, &FlashExchange::responseMarked, this, [this](const QString& m) { marks << m; });
    }
    static FlashTimings handDriven()
    {
        FlashTimings t;
        t.answerLimitMs = kNeverMs;
        t.commandPauseMs = 0;
        t.slowWritePauseMs = kNeverMs;
        return t;
    }

private slots:
    void init()
    {
        link = new FakeByteLink;
        link->open(QStringLiteral("pty"), QStringLiteral("9600,n,8,1"));
        statuses.clear();
        marks.clear();
        makeExchange(handDriven());
    }
    void cleanup()
    {
        delete exchange;
        exchange = nullptr;
        delete link;
    }

    void answerIsJudgedWhenItsTwoBytesAreThere()
    {
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        QCOMPARE(link->written, QList<QByteArray> { kLine });
        link->receive(":");
        QCOMPARE(finished.size(), 0);
        QCOMPARE(exchange->state(), FlashExchange::State::Awaiting);
        link->receive("\xA3");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Accepted);
        QCOMPARE(exchange->tries(), 1);
        QCOMPARE(marks, QStringList { ":A3" });
        QCOMPARE(statuses, QStringList { "File Transfering... Please Wait" });
    }

    void bytesLeftFromEarlierAreNotTheAnswer()
    {
        link->incoming = "<\xB7";
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        link->receive(":\xA5");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(marks, QStringList { ":A5" });
    }

    void commandAnswerCountsAfterThePause()
    {
        FlashTimings t = handDriven();
        t.commandPauseMs = kShortMs;
        makeExchange(t);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(">B0", FlashRequest::Command);
        link->receive("<\xB7");
        // Judged only when the pause is over, not when the bytes came.
        QCOMPARE(exchange->state(), FlashExchange::State::Pausing);
        QCOMPARE(finished.size(), 0);
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(marks, QStringList { "<B7" });
        QCOMPARE(statuses, QStringList { "Flash Start Burn" });
    }

    void rejectedAnswersAreTriedFourTimes_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("end of program") << QByteArray(":\xA6");
        QTest::newRow("bad checksum") << QByteArray(":\xA2");
        QTest::newRow("unknown code") << QByteArray(":\x10");
        QTest::newRow("command answer") << QByteArray("<\xB7");
        QTest::newRow("other start") << QByteArray("xx");
    }
    void rejectedAnswersAreTriedFourTimes()
    {
        QFETCH(QByteArray, answer);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        for (int i = 1; i <= FlashExchange::kMaxTries; ++i) {
            QCOMPARE(link->written.size(), i);
            QCOMPARE(link->written.last(), kLine);
            link->receive(answer);
        }
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Rejected);
        QCOMPARE(link->written.size(), FlashExchange::kMaxTries);
        QCOMPARE(statuses.last(), QStringLiteral("Error - Retry Four Times"));
        QVERIFY(!exchange->isBusy());
    }

    void aRejectedTryIsFollowedByTheSameMessage()
    {
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        link->receive(":\xA6");
        link->receive(":\xA3");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Accepted);
        QCOMPARE(link->written, (QList<QByteArray> { kLine, kLine }));
        QCOMPARE(marks, (QStringList { ":A6", ":A3" }));
        QCOMPARE(statuses.first(), QStringLiteral("End of Program"));
    }

    void silenceAndHalfAnswersTimeOut_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("silence") << QByteArray();
        QTest::newRow("one byte") << QByteArray(":");
    }
    void silenceAndHalfAnswersTimeOut()
    {
        QFETCH(QByteArray, answer);
        FlashTimings t = handDriven();
        t.answerLimitMs = kShortMs;
        makeExchange(t);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        QSignalSpy sent(exchange, &FlashExchange::messageSent);
        connect(exchange, &FlashExchange::messageSent, this, [this, answer] {
            if (!answer.isEmpty())
                QTimer::singleShot(0, link, [this, answer] { link->receive(answer); });
        });
        exchange->start(">B1", FlashRequest::Command);
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(sent.size(), FlashExchange::kMaxTries);
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Rejected);
        QCOMPARE(statuses.last(), QStringLiteral("Error - Retry Four Times"));
    }

    void slowWriteIsAcceptedAfterItsPause()
    {
        FlashTimings t = handDriven();
        t.slowWritePauseMs = kShortMs;
        makeExchange(t);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        link->receive(":\xA4");
        QCOMPARE(exchange->state(), FlashExchange::State::SlowWritePause);
        QVERIFY(statuses.isEmpty());
        QCOMPARE(finished.size(), 0);
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Accepted);
        QCOMPARE(marks, QStringList { ":A4" });
        QCOMPARE(statuses, QStringList { "File Transfering... Please Wait" });
        QCOMPARE(link->written.size(), 1);
    }

    void lineErrorFailsTheTry()
    {
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        emit link->portError(QSerialPort::ReadError);
        QCOMPARE(statuses, QStringList { "Data Lost" });
        QCOMPARE(link->written.size(), 2);
        link->receive(":\xA3");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(exchange->tries(), 2);
    }

    void aClosedPortFailsAtOnce()
    {
        link->close();
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(">B4", FlashRequest::Command);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::WriteFailed);
        QCOMPARE(exchange->tries(), 1);
        QVERIFY(!exchange->writeFailureText().isEmpty());
        QVERIFY(!exchange->isBusy());
    }

    void cancelStopsWaiting()
    {
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        exchange->cancel();
        link->receive(":\xA3");
        QCOMPARE(finished.size(), 0);
        QCOMPARE(link->written.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFlashExchange)
#include "tst_flash_exchange.moc"
