#include "flash/flash_exchange.h"
#include "serial/own_echo.h"
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
        t.retryQuietMs = 0;
        return t;
    }
    static QString lastStatus(const QStringList& statuses)
    {
        return statuses.isEmpty() ? QString() : statuses.last();
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
        QTest::addColumn<QString>("shown");
        QTest::newRow("end of program") << QByteArray(":\xA6") << ":A6 (End of Program)";
        QTest::newRow("bad checksum") << QByteArray(":\xA2") << ":A2 (Incorrect Checksum)";
        QTest::newRow("unknown code") << QByteArray(":\x10") << "3A 10 (Accidental Response)";
        QTest::newRow("command answer") << QByteArray("<\xB7") << "<B7 (Accidental Response)";
        QTest::newRow("other start") << QByteArray("xx") << "78 78";
    }
    void rejectedAnswersAreTriedFourTimes()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, shown);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line, "line 7 of 9");
        for (int i = 1; i <= FlashExchange::kMaxTries; ++i) {
            // Each retry waits for a quiet line first.
            QTRY_COMPARE(link->written.size(), i);
            QCOMPARE(link->written.last(), kLine);
            link->receive(answer);
        }
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Rejected);
        QCOMPARE(link->written.size(), FlashExchange::kMaxTries);
        QCOMPARE(statuses.last(), "Error - Retry Four Times: line 7 of 9, answer " + shown);
        QVERIFY(!exchange->isBusy());
    }

    void aRejectedTryIsFollowedByTheSameMessage()
    {
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line);
        link->receive(":\xA6");
        QCOMPARE(exchange->state(), FlashExchange::State::Quieting);
        QTRY_COMPARE(link->written.size(), 2);
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
        QTest::addColumn<QString>("shown");
        QTest::newRow("silence") << QByteArray() << "no answer";
        QTest::newRow("one byte") << QByteArray(":") << "answer 3A cut short";
    }
    void silenceAndHalfAnswersTimeOut()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, shown);
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
        QCOMPARE(statuses.last(), "Error - Retry Four Times: " + shown);
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
        QTRY_COMPARE(link->written.size(), 2);
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
        QVERIFY(!exchange->failureText().isEmpty());
        QVERIFY(!exchange->isBusy());
    }

    // What may look like an answer but is not this message's own.
    void answersThatAreNotItsOwn_data()
    {
        QTest::addColumn<bool>("command");
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<bool>("outOfStep"); // else the try failed and a retry waits
        QTest::addColumn<QString>("status");
        const QString echoed = velto::serial::withEchoHint("Own Message Echoed");
        QTest::newRow("two answers at once")
            << false << QList<QByteArray> { ":\xA3:\xA3" } << true
            << "Out of Step - line 2 of 3: more than one answer (3A A3 3A A3)";
        QTest::newRow("an answer and a stray byte")
            << false << QList<QByteArray> { ":", "\xA3\x55" } << true
            << "Out of Step - line 2 of 3: more than one answer (3A A3 55)";
        QTest::newRow("a command answered twice in its pause")
            << true << QList<QByteArray> { "<\xB7", "<\xB7" } << true
            << "Out of Step - >B0: more than one answer (3C B7 3C B7)";
        QTest::newRow("the line echoed") << false << QList<QByteArray> { kLine } << false << echoed;
        QTest::newRow("the line echoed in pieces, then the answer")
            << false << QList<QByteArray> { kLine.first(1), kLine.sliced(1, 10), kLine.sliced(11) + ":\xA3" }
            << false << echoed;
        QTest::newRow("the command echoed with its answer")
            << true << QList<QByteArray> { ">B0<\xB7" } << false << echoed;
    }
    void answersThatAreNotItsOwn()
    {
        QFETCH(bool, command);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(bool, outOfStep);
        QFETCH(QString, status);
        FlashTimings t = handDriven();
        t.commandPauseMs = command ? kNeverMs : 0;
        t.retryQuietMs = kNeverMs;
        makeExchange(t);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        if (command)
            exchange->start(">B0", FlashRequest::Command, ">B0");
        else
            exchange->start(kLine, FlashRequest::Line, "line 2 of 3");
        for (const QByteArray& chunk : chunks)
            link->receive(chunk);
        QCOMPARE(lastStatus(statuses), status);
        if (outOfStep) {
            QCOMPARE(finished.size(), 1);
            QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::OutOfStep);
            QCOMPARE(exchange->failureText(), status);
            QCOMPARE(exchange->state(), FlashExchange::State::Idle);
        } else {
            QCOMPARE(finished.size(), 0);
            QCOMPARE(marks.last(), QStringLiteral("(echo)"));
            QCOMPARE(exchange->state(), FlashExchange::State::Quieting);
        }
        QCOMPARE(link->written.size(), 1);
    }

    void anEchoEveryTimeFailsWithTheHint()
    {
        QSignalSpy finished(exchange, &FlashExchange::finished);
        connect(exchange, &FlashExchange::messageSent, this, [this](const QByteArray& message) {
            QTimer::singleShot(0, link, [this, message] { link->receive(message); });
        });
        exchange->start(kLine, FlashRequest::Line, "line 1 of 1");
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Rejected);
        QCOMPARE(link->written.size(), FlashExchange::kMaxTries);
        QCOMPARE(statuses.last(),
            "Error - Retry Four Times: line 1 of 1, " + velto::serial::withEchoHint("own message echoed"));
    }

    void bytesWhileNoAnswerIsDueAreOutOfStep_data()
    {
        QTest::addColumn<bool>("slowWrite");
        QTest::addColumn<QString>("status");
        QTest::newRow("after the answer")
            << false
            << "Out of Step - line 1 of 2: bytes after its answer, when none was "
               "due (3A A3)";
        QTest::newRow("while the device writes")
            << true << "Out of Step - line 1 of 2: bytes while the device was writing (3A A3)";
    }
    void bytesWhileNoAnswerIsDueAreOutOfStep()
    {
        QFETCH(bool, slowWrite);
        QFETCH(QString, status);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line, "line 1 of 2");
        link->receive(slowWrite ? ":\xA4" : ":\xA3");
        QCOMPARE(exchange->state(),
            slowWrite ? FlashExchange::State::SlowWritePause : FlashExchange::State::Settled);
        QVERIFY(!exchange->isBusy() || slowWrite);
        link->receive(":\xA3");
        QCOMPARE(finished.last()[0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::OutOfStep);
        QCOMPARE(statuses.last(), status);
        QCOMPARE(exchange->state(), FlashExchange::State::Idle);
        // The next message of the operation is not sent on a line out of step.
        QCOMPARE(link->written.size(), 1);
    }

    void theNextMessageFindsTheLineClean()
    {
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line, "line 1 of 2");
        link->receive(":\xA3");
        // Bytes the line already held when the next message was to go.
        link->incoming = ":\xA3";
        exchange->start(kLine, FlashRequest::Line, "line 2 of 2");
        QCOMPARE(finished.last()[0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::OutOfStep);
        QCOMPARE(link->written.size(), 1);
    }

    void aLateAnswerDuringTheQuietIsDropped()
    {
        FlashTimings t = handDriven();
        t.answerLimitMs = 5 * kShortMs;
        t.retryQuietMs = 10 * kShortMs;
        makeExchange(t);
        QSignalSpy finished(exchange, &FlashExchange::finished);
        QSignalSpy sent(exchange, &FlashExchange::messageSent);
        exchange->start(kLine, FlashRequest::Line);
        QTRY_COMPARE(exchange->state(), FlashExchange::State::Quieting);
        link->receive(":\xA3"); // the late answer to the first try
        QCOMPARE(finished.size(), 0);
        QCOMPARE(link->written.size(), 1);
        QVERIFY(sent.wait(kWaitMs));
        QCOMPARE(sent.size(), 2);
        QCOMPARE(exchange->state(), FlashExchange::State::Awaiting);
        link->receive(":\xA3");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::Accepted);
        QCOMPARE(exchange->tries(), 2);
    }

    void aLineThatNeverFallsQuietIsOutOfStep()
    {
        FlashTimings t = handDriven();
        t.answerLimitMs = 10 * kShortMs;
        t.retryQuietMs = kShortMs;
        makeExchange(t);
        QTimer noise;
        connect(&noise, &QTimer::timeout, link, [this] { link->receive("\x55"); });
        QSignalSpy finished(exchange, &FlashExchange::finished);
        exchange->start(kLine, FlashRequest::Line, "line 1 of 1");
        link->receive(":\xA0");
        noise.start(kShortMs / 10);
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(finished[0][0].value<FlashExchange::Outcome>(), FlashExchange::Outcome::OutOfStep);
        QCOMPARE(statuses.last(),
            QStringLiteral("Out of Step - line 1 of 1: the line does not fall quiet for a retry"));
        QCOMPARE(link->written.size(), 1);
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
