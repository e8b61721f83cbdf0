#include "cli_process.h"
#include "sim/velto_ascii.h"
#include "support/pty_pair.h"
#include "support/scripted_radar_peer.h"
#include "support/scripted_rtu_peer.h"

#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>

using velto::test::CliRun;
using velto::test::namedTexts;
using velto::test::ScriptedRadarPeer;
using velto::test::ScriptedRtuPeer;

namespace {

constexpr int kSlave = 1;
const QString kRxTimeout = QStringLiteral("300");

// velto-cli while this process's event loop runs, so a peer here can answer it.
class CliWhileServing {
public:
    explicit CliWhileServing(const QStringList& arguments)
    {
        m_process.start(QStringLiteral(VELTO_CLI_PATH), arguments);
    }
    bool started() { return m_process.waitForStarted(velto::test::kCliWaitMs); }
    void interrupt() { m_process.terminate(); }
    CliRun finish()
    {
        CliRun run;
        run.finished = m_process.state() == QProcess::NotRunning
            || QTest::qWaitFor(
                [this] { return m_process.state() == QProcess::NotRunning; }, velto::test::kCliWaitMs);
        if (!run.finished)
            m_process.kill();
        run.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        run.lines = QString::fromUtf8(m_process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        run.errors = QString::fromUtf8(m_process.readAllStandardError());
        return run;
    }

private:
    QProcess m_process;
};

// A Velto unit on a pseudo-terminal: its first `goodReplies` requests get real replies, every later one
// a frame that has the start, the end and no accepted length, or nothing when `silent`.
class AsciiPeer : public QObject {
public:
    int goodReplies = 0;
    bool silent = false;
    int requests = 0;

    AsciiPeer()
        : m_notifier(m_line.masterFd(), QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &AsciiPeer::onReadable);
    }
    QString devicePath() const { return m_line.slavePath(); }

private:
    void onReadable()
    {
        m_buffer += m_line.readMasterNow();
        for (qsizetype end = m_buffer.indexOf('\r'); end >= 0; end = m_buffer.indexOf('\r')) {
            const auto request = velto::sim::parseVeltoRequest(m_buffer.first(end + 1));
            m_buffer.remove(0, end + 1);
            if (!request)
                continue;
            ++requests;
            if (silent)
                continue;
            if (requests > goodReplies) {
                m_line.writeMaster(QByteArrayLiteral("!0102031000000000\r")); // 18 characters
                continue;
            }
            velto::sim::VeltoReply reply;
            reply.address = request->address;
            reply.command = request->command;
            reply.value = request->command == velto::sim::velto_cmd::kTemperature ? 21 : 1500;
            m_line.writeMaster(velto::sim::buildVeltoReply(reply));
        }
    }

    velto::test::PtyPair m_line;
    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};

QStringList modbusRead(const QString& port, int count)
{
    return { "modbus", "read", "--port", port, "--start", "0", "--count", QString::number(count),
        "--rx-timeout", kRxTimeout };
}

} // namespace

// velto-cli against peers that answer wrongly, go away or are interrupted: no failure ends in exit 0.
class TestCliWrongAnswers : public QObject {
    Q_OBJECT

private slots:
    void shortAnswersFail_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("modbus read") << "read";
        QTest::newRow("modbus poll") << "poll";
    }
    void shortAnswersFail()
    {
        QFETCH(QString, command);
        ScriptedRtuPeer peer(kSlave);
        QVERIFY(peer.isValid());
        peer.otherwise.countShift = -1;
        const QStringList arguments = command == "read"
            ? modbusRead(peer.devicePath(), 8)
            : QStringList { "modbus", "poll", "--port", peer.devicePath(), "--ticks", "3", "--interval",
                  "50" };
        CliWhileServing cli(arguments);
        QVERIFY(cli.started());
        const CliRun run = cli.finish();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(!run.lines.isEmpty());
        for (const QString& line : run.lines.mid(0, run.lines.size() - 1)) {
            const QString status
                = command == "read" ? line.section(' ', 0, 0) : namedTexts(line).value("status");
            QCOMPARE(status, QString("17"));
            QVERIFY2(line.contains("registers received for"), qPrintable(line));
        }
        QVERIFY2(run.lines.last().contains(" valid=0 "), qPrintable(run.lines.last()));
    }

    void numbersAreDecimalOrHexadecimal_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("slave");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value"); // -1: a read
        QTest::newRow("leading zero value")
            << QStringList { "--register", "51", "--value", "06000" } << 1 << 51 << 6000;
        QTest::newRow("hexadecimal value")
            << QStringList { "--register", "51", "--value", "0x1770" } << 1 << 51 << 6000;
        QTest::newRow("leading zero register")
            << QStringList { "--register", "010", "--value", "7" } << 1 << 10 << 7;
        QTest::newRow("leading zero slave, write")
            << QStringList { "--slave", "010", "--register", "51", "--value", "7" } << 10 << 51 << 7;
        QTest::newRow("leading zero slave, read") << QStringList { "--slave", "010" } << 10 << 0 << -1;
    }
    void numbersAreDecimalOrHexadecimal()
    {
        QFETCH(QStringList, options);
        QFETCH(int, slave);
        QFETCH(int, reg);
        QFETCH(int, value);
        ScriptedRtuPeer peer(slave);
        QVERIFY(peer.isValid());
        const QStringList arguments = value < 0
            ? modbusRead(peer.devicePath(), 1) + options
            : QStringList { "modbus", "write", "--port", peer.devicePath() } + options;
        CliWhileServing cli(arguments);
        QVERIFY(cli.started());
        const CliRun run = cli.finish();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(peer.requests.size(), 1);
        QCOMPARE(int(peer.requests.first().slave), slave);
        QCOMPARE(int(peer.requests.first().start), reg);
        if (value >= 0)
            QCOMPARE(peer.requests.first().values, QList<quint16> { quint16(value) });
    }

    void lineLossEndsTheCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("modbus read") << "read";
        QTest::newRow("modbus poll with a log") << "poll";
    }
    void lineLossEndsTheCommand()
    {
        QFETCH(QString, command);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString log = dir.filePath("readings.csv");
        ScriptedRtuPeer peer(kSlave);
        QVERIFY(peer.isValid());
        const QStringList arguments = command == "read"
            ? modbusRead(peer.devicePath(), 8) + QStringList { "--repeat", "1000", "--interval", "50" }
            : QStringList { "modbus", "poll", "--port", peer.devicePath(), "--interval", "50", "--log", log,
                  "--rate", "0.05" };
        CliWhileServing cli(arguments);
        QVERIFY(cli.started());
        QTRY_VERIFY_WITH_TIMEOUT(peer.requests.size() >= 4, velto::test::kCliWaitMs);
        peer.closeLine();
        const CliRun run = cli.finish();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains("Serial line lost"), qPrintable(run.errors));
        QVERIFY2(!run.lines.join('\n').contains("Port not open"), qPrintable(run.lines.join('\n')));
        QVERIFY2(run.lines.last().startsWith("polls="), qPrintable(run.lines.last()));
        if (command == "poll") {
            // A log line per group read that was answered, none for the lost ones.
            QFile file(log);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const qsizetype logged
                = QString::fromLatin1(file.readAll()).split("\r\n", Qt::SkipEmptyParts).size() - 1;
            const qsizetype answered
                = std::count_if(run.lines.cbegin(), run.lines.cend(), [](const QString& line) {
                      return !line.startsWith("status=") && !line.startsWith("polls=");
                  });
            QVERIFY2(
                logged < answered, qPrintable(QString("%1 lines for %2 reads").arg(logged).arg(answered)));
        }
    }

    void interruptedFirstRequestFails_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("summary"); // how the last line starts
        QTest::newRow("modbus read") << "read"
                                     << "polls=0 valid=0 ";
        QTest::newRow("modbus poll") << "poll"
                                     << "polls=0 valid=0 ";
        QTest::newRow("velto poll") << "velto" << QString();
        QTest::newRow("modbus write") << "write"
                                      << "status ";
        QTest::newRow("radar send") << "radar"
                                    << "ModeText=Monitoring";
        QTest::newRow("calibrate defaults") << "calibrate"
                                            << "Sent=";
    }
    void interruptedFirstRequestFails()
    {
        QFETCH(QString, command);
        QFETCH(QString, summary);
        ScriptedRtuPeer modbusPeer(kSlave);
        AsciiPeer asciiPeer;
        ScriptedRadarPeer radarPeer;
        velto::test::PtyPair calibrationUnit;
        modbusPeer.otherwise.silent = true;
        asciiPeer.silent = true;
        radarPeer.answer = ScriptedRadarPeer::Answer::Silent;
        const QString longWait = QStringLiteral("20000");
        QStringList arguments;
        if (command == "read")
            arguments = QStringList { "modbus", "read", "--port", modbusPeer.devicePath(), "--start", "0",
                "--count", "8", "--rx-timeout", longWait };
        else if (command == "poll")
            arguments = QStringList { "modbus", "poll", "--port", modbusPeer.devicePath(), "--rx-timeout",
                longWait };
        else if (command == "write")
            arguments = QStringList { "modbus", "write", "--port", modbusPeer.devicePath(), "--register",
                "51", "--value", "7" };
        else if (command == "radar")
            arguments = QStringList { "radar", "send", "monitor", "--port", radarPeer.devicePath(),
                "--spectrum-wait", longWait };
        else if (command == "calibrate")
            arguments = QStringList { "calibrate", "defaults", "--port", calibrationUnit.slavePath() };
        else
            arguments = QStringList { "velto", "poll", "--port", asciiPeer.devicePath(), "--address", "10" };
        CliWhileServing cli(arguments);
        QVERIFY(cli.started());
        // The first request is on its way (for calibrate: the message before the one-second follow-up).
        QByteArray heardByUnit;
        QTRY_VERIFY_WITH_TIMEOUT(modbusPeer.requests.size() + asciiPeer.requests + radarPeer.requestsHeard > 0
                || !(heardByUnit += calibrationUnit.readMasterNow()).isEmpty(),
            velto::test::kCliWaitMs);
        cli.interrupt();
        const CliRun run = cli.finish();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        if (!summary.isEmpty()) {
            QVERIFY(!run.lines.isEmpty());
            QVERIFY2(run.lines.last().startsWith(summary), qPrintable(run.lines.last()));
        }
    }

    void radarLiesFail_data()
    {
        using Answer = ScriptedRadarPeer::Answer;
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("log"); // what the log box says, in part
        const QStringList status { "radar", "send", "status" };
        const QStringList monitor { "radar", "send", "monitor" };
        QTest::newRow("status echoed") << status << int(Answer::Echo) << "turn on Remove echo";
        QTest::newRow("status echoed, then answered")
            << status << int(Answer::EchoThenRight) << "turn on Remove echo";
        QTest::newRow("spectrum of 65 blocks")
            << monitor << int(Answer::BlockTwice) << "(Unequal To 63 Blocks)";
        QTest::newRow("a header and too few bytes, over and over")
            << status << int(Answer::HeaderOverAndOver) << "";
        QTest::newRow("measure, echoed") << QStringList { "radar", "measure", "--attempts", "1" }
                                         << int(Answer::Echo) << "turn on Remove echo";
    }
    void radarLiesFail()
    {
        QFETCH(QStringList, command);
        QFETCH(int, answer);
        QFETCH(QString, log);
        ScriptedRadarPeer peer;
        QVERIFY(peer.isValid());
        peer.answer = ScriptedRadarPeer::Answer(answer);
        CliWhileServing cli(command + QStringList { "--port", peer.devicePath(), "--baud", "115200" });
        QVERIFY(cli.started());
        const CliRun run = cli.finish();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(!run.lines.isEmpty());
        const auto shown = namedTexts(run.lines.first());
        QVERIFY2(shown.value("TextTerminaTextBox").contains(log), qPrintable(run.lines.first()));
        QVERIFY2(!shown.contains("DistanceOrLevelText"), qPrintable(run.lines.first()));
    }

    void veltoNonRepliesAfterAGoodTickFail()
    {
        AsciiPeer peer;
        peer.goodReplies = 4; // the whole first tick
        CliWhileServing cli({ "velto", "poll", "--port", peer.devicePath(), "--address", "10", "--ticks", "3",
            "--interval", "100" });
        QVERIFY(cli.started());
        const CliRun run = cli.finish();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(peer.requests, 12);
        QVERIFY2(run.errors.contains("no valid reply in tick 2"), qPrintable(run.errors));
        QVERIFY2(run.errors.contains("no valid reply in tick 3"), qPrintable(run.errors));
        QVERIFY2(!run.errors.contains("tick 1"), qPrintable(run.errors));
    }

    void emptyPortIsABadArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("modbus read") << QStringList { "modbus", "read", "--port", "", "--start", "0",
            "--count", "1" };
        QTest::newRow("modbus poll") << QStringList { "modbus", "poll", "--port", "" };
        QTest::newRow("modbus write")
            << QStringList { "modbus", "write", "--port", "", "--register", "1", "--value", "1" };
        QTest::newRow("velto poll") << QStringList { "velto", "poll", "--port", " " };
    }
    void emptyPortIsABadArgument()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = velto::test::runCli(arguments);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, velto::test::kCliExitUsage);
        QVERIFY2(run.errors.contains("--port"), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestCliWrongAnswers)
#include "tst_cli_wrong_answers.moc"
