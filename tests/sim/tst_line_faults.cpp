#include "sim/line_faults.h"
#include "sim/manual_clock.h"
#include "sim/simulated_line.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using velto::sim::FaultPlanner;
using velto::sim::LineFaults;
using velto::sim::PlannedWrite;

namespace {

const QByteArray kReply = QByteArray::fromHex("0103020102b8f5");
constexpr int kTries = 200;
constexpr int kWaitMs = 5000;

QByteArray joined(const QList<PlannedWrite>& writes)
{
    QByteArray out;
    for (const PlannedWrite& w : writes)
        out += w.bytes;
    return out;
}

} // namespace

class TestLineFaults : public QObject {
    Q_OBJECT

private slots:
    void aPerfectLineSendsTheReplyAsItIs()
    {
        FaultPlanner planner;
        const auto writes = planner.plan(kReply, {});
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes[0].delayMs, 0);
        QCOMPARE(writes[0].bytes, kReply);
        QVERIFY(!LineFaults {}.any());
    }

    // Every fault at probability 1 does exactly what it says, whatever the random draw.
    void eachFaultAlone()
    {
        FaultPlanner planner(7);
        for (int i = 0; i < kTries; ++i) {
            QVERIFY(planner.plan(kReply, { .silence = 1 }).isEmpty());

            const QByteArray cut = joined(planner.plan(kReply, { .shortReply = 1 }));
            QVERIFY(!cut.isEmpty() && cut.size() < kReply.size());
            QVERIFY(kReply.startsWith(cut));

            const QByteArray changed = joined(planner.plan(kReply, { .corrupt = 1 }));
            QCOMPARE(changed.size(), kReply.size());
            int differing = 0;
            for (int k = 0; k < kReply.size(); ++k)
                differing += changed[k] != kReply[k];
            QCOMPARE(differing, 1);

            const auto parts = planner.plan(kReply, { .split = 1, .lateMs = 30, .splitGapMs = 15 });
            QCOMPARE(parts.size(), 2);
            QVERIFY(!parts[0].bytes.isEmpty() && !parts[1].bytes.isEmpty());
            QCOMPARE(parts[0].bytes + parts[1].bytes, kReply);
            QCOMPARE(parts[0].delayMs, 30);
            QCOMPARE(parts[1].delayMs, 45);

            const QByteArray noisy = joined(planner.plan(kReply, { .garbage = 1 }));
            QVERIFY(noisy.endsWith(kReply));
            QVERIFY(noisy.size() > kReply.size()
                && noisy.size() <= kReply.size() + FaultPlanner::kMaxGarbageBytes);
        }
    }

    void theSameSeedMisbehavesTheSameWay()
    {
        const LineFaults faults {
            .silence = 0.3, .shortReply = 0.3, .corrupt = 0.3, .split = 0.3, .garbage = 0.3
        };
        FaultPlanner a(42);
        FaultPlanner b(42);
        for (int i = 0; i < kTries; ++i) {
            const auto x = a.plan(kReply, faults);
            const auto y = b.plan(kReply, faults);
            QCOMPARE(x.size(), y.size());
            QCOMPARE(joined(x), joined(y));
        }
    }

    // Over a real pseudo-terminal: late, split replies arrive whole and in the order of their requests.
    void lateSplitRepliesKeepTheirOrderOnTheLine()
    {
        velto::sim::ManualClock clock(0);
        velto::sim::SimulatedLine line(clock);
        QVERIFY(line.isValid());
        line.setFaults({ .split = 1, .lateMs = 80, .splitGapMs = 40 });
        QSignalSpy sent(&line, &velto::sim::SimulatedLine::replied);

        QSerialPort port(line.devicePath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        // Two Velto requests back to back: the single sensor's distance, then its tank height.
        const QByteArray first = "!100202010015\r";
        const QByteArray second = "!100202060020\r";
        port.write(first + second);
        QByteArray got;
        QSignalSpy ready(&port, &QSerialPort::readyRead);
        while (got.count('\r') < 2 && (port.bytesAvailable() > 0 || ready.wait(kWaitMs)))
            got += port.readAll();
        QCOMPARE(got.count('\r'), 2);
        // One batch of replies per read of the line, each batch in two parts.
        QVERIFY(sent.size() >= 2 && sent.size() % 2 == 0);
        const QList<QByteArray> replies = got.split('\r');
        QCOMPARE(replies[0].mid(7, 2), QByteArray("01"));
        QCOMPARE(replies[1].mid(7, 2), QByteArray("06"));
    }
};

QTEST_GUILESS_MAIN(TestLineFaults)
#include "tst_line_faults.moc"
