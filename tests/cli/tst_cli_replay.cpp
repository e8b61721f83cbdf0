// A command's line recorded with --record against the simulated sensors, then served by
// `velto-cli sim --replay`: the same command reads the same readings from the replay as it read
// from the sensors; a request the session never saw goes unanswered and is named; a damaged file
// is refused at its line and nothing is served.
#include "cli_process.h"
#include "traffic/session_reader.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using velto::test::CliRun;
using velto::test::runCli;
using velto::test::SimProcess;

namespace {

constexpr int kPatientReplyWaitMs = 250;
const QString kReplyWait = QString::number(kPatientReplyWaitMs);

// The command on the line at `path`.
QStringList on(const QStringList& command, const QString& path)
{
    return command + QStringList { "--port", path };
}

// The debug terminal's measurement lines, without the seconds it stamps them with.
QStringList measurementLines(const QStringList& output)
{
    static const QRegularExpression stamp(QStringLiteral(" +[0-9]*\\.[0-9]+\"$"));
    QStringList lines;
    for (QString line : output) {
        if (line.startsWith("DebugWindowText=\"D ") && line.contains(" RD2 "))
            lines << line.remove(stamp);
    }
    return lines;
}

} // namespace

class TestCliReplay : public QObject {
    Q_OBJECT

private:
    SimProcess m_sim;
    QTemporaryDir m_dir;

    // Records the command against the simulated sensors into a new file; its output lines.
    QStringList record(const QStringList& command, const QString& path, SimProcess& sim)
    {
        const CliRun run = runCli(on(command, sim.path()) + QStringList { "--record", path });
        [&] {
            QVERIFY(run.finished);
            QCOMPARE(run.exitCode, 0);
        }();
        return run.lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_sim.start());
    }
    void cleanupTestCase() { m_sim.stop(); }

    void replayReadsWhatWasRecorded_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QStringList>("simOptions"); // of a line of its own; empty: the shared one
        QTest::addColumn<QStringList>("replayOptions");
        const QStringList velto { "velto", "poll", "--address", "10", "--ticks", "3", "--reply-wait",
            kReplyWait };
        QTest::newRow("velto ascii") << velto << QStringList {} << QStringList {};
        QTest::newRow("velto ascii, two sensors, at once")
            << QStringList { "velto", "poll", "--address", "20", "--ticks", "2", "--reply-wait", kReplyWait }
            << QStringList {} << QStringList { "--speed", "0" };
        QTest::newRow("velto ascii on an echoing line")
            << velto + QStringList { "--remove-echo" } << QStringList { "--echo" } << QStringList {};
        QTest::newRow("radar status")
            << QStringList { "radar", "send", "status" } << QStringList {} << QStringList {};
        QTest::newRow("radar spectrum, twice as fast")
            << QStringList { "radar", "send", "monitor", "--kind", "spectrum", "--baud", "115200" }
            << QStringList {} << QStringList { "--speed", "2" };
        QTest::newRow("flash erase") << QStringList { "flash", "erase" } << QStringList {} << QStringList {};
        QTest::newRow("calibration defaults, with the follow-up")
            << QStringList { "calibrate", "defaults" } << QStringList {} << QStringList {};
    }
    void replayReadsWhatWasRecorded()
    {
        QFETCH(QStringList, command);
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, replayOptions);
        SimProcess ownSim;
        if (!simOptions.isEmpty())
            QVERIFY(ownSim.start(simOptions));
        const QString path = m_dir.filePath(QString(QTest::currentDataTag()) + ".txt");
        const QStringList recorded = record(command, path, simOptions.isEmpty() ? m_sim : ownSim);
        QVERIFY(!recorded.isEmpty());

        SimProcess replay;
        QVERIFY(replay.start(QStringList { "--replay", path } + replayOptions));
        const CliRun replayed = runCli(on(command, replay.path()));
        replay.stop();
        QVERIFY(replayed.finished);
        QCOMPARE(replayed.exitCode, 0);
        QCOMPARE(replayed.lines, recorded);
        QVERIFY2(!replay.errors().contains("not in the session"), qPrintable(replay.errors()));
    }

    // Debug output follows no request: the replay plays it on its own, each line as recorded.
    void debugOutputReplays()
    {
        SimProcess taliq485;
        QVERIFY(taliq485.start({ "--taliq485" }));
        const QString path = m_dir.filePath("debug.txt");
        const QStringList recorded
            = record({ "debug", "capture", "--out", m_dir.filePath("recorded.log"), "--seconds", "2" }, path,
                taliq485);
        taliq485.stop();

        SimProcess replay;
        QVERIFY(replay.start({ "--replay", path }));
        const CliRun replayed
            = runCli(on({ "debug", "capture", "--out", m_dir.filePath("replayed.log"), "--seconds", "1" },
                replay.path()));
        replay.stop();
        QCOMPARE(replayed.exitCode, 0);
        // The first line may be the end of one the port opened into.
        const QStringList lines = measurementLines(replayed.lines).mid(1);
        QVERIFY2(lines.size() >= 2, qPrintable(replayed.lines.join('\n')));
        const QStringList before = measurementLines(recorded);
        for (const QString& line : lines)
            QVERIFY2(before.contains(line), qPrintable(line));
    }

    void unknownRequestIsNamedAndUnanswered()
    {
        const QString path = m_dir.filePath("address10.txt");
        record(
            { "velto", "poll", "--address", "10", "--ticks", "1", "--reply-wait", kReplyWait }, path, m_sim);
        SimProcess replay;
        QVERIFY(replay.start({ "--replay", path }));
        const CliRun run = runCli(on({ "velto", "poll", "--address", "20", "--ticks", "1" }, replay.path()));
        replay.stop();
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            replay.errors().contains(QRegularExpression(
                "velto-cli: not in the session, not answered: 21 32 30 [0-9A-F ]+ \\(Velto ASCII request "
                "distance \\(01\\) of address 20, sensor digit 0\\)\n")),
            qPrintable(replay.errors()));
    }

    // Ctrl-C ends a recording command with a whole session; a file that cannot be made fails it.
    void interruptedRecordingIsComplete()
    {
        const QString path = m_dir.filePath("interrupted.txt");
        QProcess poll;
        poll.start(VELTO_CLI_PATH,
            on({ "velto", "poll", "--address", "10", "--reply-wait", kReplyWait, "--record", path },
                m_sim.path()));
        QVERIFY(poll.waitForStarted(velto::test::kCliWaitMs));
        while (poll.readAllStandardOutput().isEmpty())
            QVERIFY(poll.waitForReadyRead(velto::test::kCliWaitMs));
        poll.terminate();
        QVERIFY(poll.waitForFinished(velto::test::kCliWaitMs));
        const velto::traffic::SessionRead read = velto::traffic::readSessionFile(path);
        QVERIFY2(read.session, qPrintable(read.message()));
        QCOMPARE(read.session->header.port, m_sim.path());
        QCOMPARE(read.session->header.settings, QString("9600,n,8,1"));
        QVERIFY(read.session->rows.size() >= 8);

        const CliRun nowhere = runCli(
            on({ "velto", "poll", "--ticks", "1", "--record", m_dir.filePath("no/such/folder/x.txt") },
                m_sim.path()));
        QCOMPARE(nowhere.exitCode, 1);
        QVERIFY2(nowhere.errors.startsWith(
                     "velto-cli: cannot record to " + m_dir.filePath("no/such/folder/x.txt")),
            qPrintable(nowhere.errors));
    }

    void damagedFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("not a session") << QByteArray("hello\n") << "line 1: not a session file";
        QTest::newRow("newer") << QByteArray("Velto traffic session\t7\r\n")
                               << "line 1: session version 7 is newer than this program reads (1)";
        QTest::newRow("cut short") << QByteArray("Velto traffic session\t1\r\nProgram\tvelto-cli 0.21\r\n")
                                   << "line 3: the file ends before its column line: it was cut short";
    }
    void damagedFileIsRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        const QString path = m_dir.filePath("damaged.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        const CliRun run = runCli({ "sim", "--replay", path });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.lines.isEmpty());
        QVERIFY2(
            run.errors.startsWith("velto-cli: cannot replay " + path + ": " + error), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestCliReplay)
#include "tst_cli_replay.moc"
