// The far end of a recorded session: requests told by their bytes however they arrive, answered in
// recorded order; what the session never saw is named and left unanswered; and over a real
// pseudo-terminal, answers keep their recorded delay at the chosen speed and the stream repeats.
#include "sim/replay_line.h"
#include "sim/replay_responder.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace velto::sim;

namespace {

constexpr int kWaitMs = 10000;
const QByteArray kRead = QByteArray::fromHex("010300000002c40b");
const QByteArray kOtherRead = QByteArray::fromHex("010300050001940b");
const QByteArray kQuiet = "~";

using Exchanges = QList<QPair<QByteArray, QByteArray>>;

ReplayScript script(const Exchanges& exchanges)
{
    ReplayScript s;
    for (const auto& [request, answer] : exchanges) {
        ReplayExchange e { request, {} };
        if (!answer.isEmpty())
            e.answer.append({ 0, answer });
        s.exchanges.append(e);
    }
    return s;
}

// "answer" for an answered request ("-" when it was recorded without one), "?hex" for an unknown one.
QString outcomes(const QList<ReplayResponder::Outcome>& list)
{
    QStringList out;
    for (const ReplayResponder::Outcome& o : list) {
        if (!o.answer) {
            out << "?" + QString::fromLatin1(o.request.toHex());
            continue;
        }
        QByteArray bytes;
        for (const ReplayChunk& c : *o.answer)
            bytes += c.bytes;
        out << (bytes.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(bytes));
    }
    return out.join(' ');
}

struct Port {
    QSerialPort port;
    QByteArray received;
    explicit Port(const QString& path)
    {
        port.setPortName(path);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
    }
};

} // namespace

class TstReplayResponder : public QObject {
    Q_OBJECT
private slots:
    void requests_data()
    {
        QTest::addColumn<Exchanges>("exchanges");
        QTest::addColumn<QList<QByteArray>>("writes"); // "~": the line goes quiet
        QTest::addColumn<QStringList>("expected"); // what each write brings
        const Exchanges one { { kRead, "a1" } };
        QTest::newRow("whole") << one << QList<QByteArray> { kRead } << QStringList { "a1" };
        QTest::newRow("split anyhow")
            << one << QList<QByteArray> { kRead.left(1), kRead.mid(1, 5), kRead.mid(6) }
            << QStringList { "", "", "a1" };
        QTest::newRow("in recorded order, then again")
            << Exchanges { { kRead, "a1" }, { "!10010\r", "b1" }, { kRead, "a2" } }
            << QList<QByteArray> { kRead, kRead, kRead + "!10010\r" } << QStringList { "a1", "a2", "a1 b1" };
        QTest::newRow("recorded without an answer")
            << Exchanges { { "!M0000@", {} } } << QList<QByteArray> { "!M0000@" } << QStringList { "-" };
        QTest::newRow("unknown request of a known protocol")
            << one << QList<QByteArray> { kOtherRead } << QStringList { "?010300050001940b" };
        QTest::newRow("unknown bytes wait for quiet")
            << one << QList<QByteArray> { "xyz", kQuiet } << QStringList { "", "?78797a" };
        QTest::newRow("stray bytes before a request")
            << one << QList<QByteArray> { "zz" + kRead, kQuiet } << QStringList { "", "?7a7a a1" };
        QTest::newRow("bytes after a request")
            << one << QList<QByteArray> { kRead + "q", kQuiet } << QStringList { "a1", "?71" };
        QTest::newRow("the start of a longer request waits")
            << Exchanges { { ">B", "p1" }, { ">B0", "q1" } } << QList<QByteArray> { ">B", kQuiet, ">B", "0" }
            << QStringList { "", "p1", "", "q1" };
        QTest::newRow("cut short") << one << QList<QByteArray> { kRead.left(4), kQuiet }
                                   << QStringList { "", "?01030000" };
    }
    void requests()
    {
        QFETCH(Exchanges, exchanges);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QStringList, expected);
        ReplayResponder responder(script(exchanges));
        QStringList got;
        for (const QByteArray& w : writes)
            got << outcomes(w == kQuiet ? responder.lineQuiet() : responder.feed(w));
        QCOMPARE(got, expected);
        QVERIFY(!responder.hasPending());
    }

    void answersAfterTheRecordedDelay_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("recordedMs");
        QTest::addColumn<int>("notBeforeMs");
        QTest::newRow("as recorded") << 1.0 << 300 << 250;
        QTest::newRow("a hundred times as fast") << 100.0 << 60000 << 500;
        QTest::newRow("at once") << 0.0 << 600000 << 0;
    }
    void answersAfterTheRecordedDelay()
    {
        QFETCH(double, speed);
        QFETCH(int, recordedMs);
        QFETCH(int, notBeforeMs);
        ReplayScript s;
        const QByteArray answer = QByteArray::fromHex("0103040007000acbf5");
        s.exchanges.append({ kRead, { { recordedMs, answer } } });
        ReplayLine line(s, speed);
        QVERIFY(line.isValid());
        Port p(line.devicePath());
        QVERIFY(p.port.open(QIODevice::ReadWrite));
        QElapsedTimer since;
        since.start();
        p.port.write(kRead);
        QTRY_COMPARE_WITH_TIMEOUT(p.received, answer, kWaitMs);
        QVERIFY2(since.elapsed() >= notBeforeMs, qPrintable(QString::number(since.elapsed())));
    }

    void unknownRequestIsNamedAndUnanswered()
    {
        ReplayLine line(script({ { kRead, "a1" } }), 0);
        QSignalSpy unknown(&line, &ReplayLine::unknownRequest);
        Port p(line.devicePath());
        QVERIFY(p.port.open(QIODevice::ReadWrite));
        p.port.write(kOtherRead + kRead);
        QTRY_COMPARE_WITH_TIMEOUT(p.received, QByteArray("a1"), kWaitMs);
        QCOMPARE(unknown.size(), 1);
        QCOMPARE(unknown[0][0].toByteArray(), kOtherRead);
    }

    // Debug output plays on its own, round after round.
    void streamRepeats()
    {
        ReplayScript s;
        s.stream = { { 0, "D 1834\r\n" }, { 200, "D 1830\r\n" } };
        ReplayLine line(s, 1);
        Port p(line.devicePath());
        QVERIFY(p.port.open(QIODevice::ReadWrite));
        QTRY_VERIFY_WITH_TIMEOUT(p.received.count("D 1830\r\nD 1834\r\nD 1830\r\n") > 0, kWaitMs);
    }
};

QTEST_GUILESS_MAIN(TstReplayResponder)
#include "tst_replay_responder.moc"
