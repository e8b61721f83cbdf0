#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "sim/taliq485_debug_talker.h"
#include "support/text_lines.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace velto::sim;
using velto::test::crlfLines;

namespace {

constexpr int kGuardMs = 10000;
constexpr qint64 kTenMinutesMs = 600000;

// A record line as the debug-log parser reads it: the tags in their order, numbers between them,
// a status digit at the end.
const QRegularExpression kRecord(QStringLiteral(
    "^D -?\\d+ RD -?\\d+ RD2 -?\\d+ P \\d+ G \\d+ Z \\d+ A -?\\d+ Th \\d+ N \\d+ Ti \\d+ Tn \\d+ Tx \\d+ "
    "Tp -?\\d+ M \\d+ C [01] S \\d$"));

} // namespace

class TestTaliq485DebugTalker : public QObject {
    Q_OBJECT

private slots:
    void speaksTheDebugLogGrammarAtItsPace()
    {
        Taliq485DebugTalker talker;
        const QByteArray minute = talker.outputUntil(60000);
        QVERIFY(minute.endsWith("\r\n"));
        const QStringList lines = crlfLines(minute);
        int records = 0;
        int currentOn = 0;
        QSet<QString> kinds;
        for (const QString& line : lines) {
            QVERIFY2(!line.contains(u'\r') && !line.contains(u'\n'), qPrintable(line));
            if (line.startsWith("D") && !line.startsWith("D: DIST") && !line.startsWith("Decreas")) {
                QVERIFY2(kRecord.match(line).hasMatch(), qPrintable(line));
                ++records;
                currentOn += line.contains(" C 1 ") ? 1 : 0;
                continue;
            }
            if (line.startsWith("R_SEARCH : Current Search Distance =")) {
                // The value in the five characters from the 39th on.
                bool ok = false;
                QVERIFY(line.mid(38, 5).trimmed().toInt(&ok) > 0 && ok);
            }
            kinds << line.section(u' ', 0, 2);
        }
        // Five cycles a second; the 4-20 mA flag is set on most records, not all.
        QCOMPARE(records, int(60000 / Taliq485DebugTalker::kCycleMs));
        QVERIFY(currentOn > 0 && currentOn < records);
        for (const char* kind : { "R_SEARCH : Current", "R_SEARCH : Occur", "---> Enter to",
                 "R_SEARCH : search", "D: DIST filter", "Decreasing gain to" })
            QVERIFY2(kinds.contains(kind), kind);
        // At 9600 baud a sensor prints fewer than 960 bytes a second.
        QVERIFY(minute.size() < 60 * 960);
    }

    void sameTimesSameBytes()
    {
        Taliq485DebugTalker inOneGo;
        Taliq485DebugTalker inSteps;
        QByteArray stepped;
        for (qint64 ms = 0; ms <= 30000; ms += 37)
            stepped += inSteps.outputUntil(ms);
        stepped += inSteps.outputUntil(30000);
        QCOMPARE(stepped, inOneGo.outputUntil(30000));
        QVERIFY(inOneGo.outputUntil(30000).isEmpty());
    }

    void faultKnobs()
    {
        Taliq485DebugTalker silent;
        silent.silent = true;
        QVERIFY(silent.outputUntil(10000).isEmpty());

        Taliq485DebugTalker bare;
        bare.bareLineFeedEvery = 3;
        const QByteArray out = bare.outputUntil(10000);
        const qsizetype lineFeeds = out.count('\n');
        const qsizetype crLf = out.count("\r\n");
        QVERIFY(lineFeeds > crLf && crLf > 0);

        Taliq485DebugTalker noisy;
        noisy.noiseEvery = 5;
        Taliq485DebugTalker clean;
        QVERIFY(noisy.outputUntil(10000).size() > clean.outputUntil(10000).size());
    }

    // The simulated line streams it to whoever opens the port, and loses it while nobody does.
    void simulatedLineStreamsAndDropsUnreadOutput()
    {
        ManualClock clock;
        SimulatedLine line(clock);
        QVERIFY(line.isValid());
        line.startDebugOutput();

        // Nobody listens for ten minutes: at most the backlog waits on the line.
        clock.advance(kTenMinutesMs);
        QTRY_VERIFY_WITH_TIMEOUT(line.debugBytesDropped() > 0, kGuardMs);

        QSerialPort port(line.devicePath());
        QVERIFY(port.open(QIODevice::ReadOnly));
        QSignalSpy ready(&port, &QSerialPort::readyRead);
        QTRY_VERIFY_WITH_TIMEOUT(port.bytesAvailable() > 0, kGuardMs);
        QByteArray stale = port.readAll();
        QVERIFY(stale.size() <= SimulatedLine::kDebugBacklogBytes);

        clock.advance(Taliq485DebugTalker::kCycleMs * 10);
        QByteArray fresh;
        QTRY_VERIFY_WITH_TIMEOUT((fresh += port.readAll()).count("\r\n") >= 10, kGuardMs);
        QVERIFY(fresh.contains(" RD2 "));
    }
};

QTEST_GUILESS_MAIN(TestTaliq485DebugTalker)
#include "tst_taliq485_debug_talker.moc"
