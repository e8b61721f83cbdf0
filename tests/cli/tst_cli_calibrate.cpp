#include "cli_process.h"
#include "support/pty_pair.h"

#include <QProcess>
#include <QTest>

using velto::test::CliRun;
using velto::test::namedTexts;
using velto::test::runCli;

namespace {

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Sent="..." lines of a run, as the hex texts they carry.
QStringList sentLines(const CliRun& run)
{
    QStringList out;
    for (const QString& line : run.lines) {
        const auto texts = namedTexts(line);
        if (texts.contains("Sent"))
            out << texts.value("Sent");
    }
    return out;
}

const QString kFollowUp = QStringLiteral("21 4D 00 00 6C 40");

} // namespace

// `velto-cli calibrate` against a pseudo-terminal whose far side the test reads: the bytes on the
// wire, the texts printed, and the exit codes.
class TestCliCalibrate : public QObject {
    Q_OBJECT
private slots:
    void messagesOnTheWire_data();
    void messagesOnTheWire();
    void badArgumentsSendNothing_data();
    void badArgumentsSendNothing();
    void portThatWillNotOpenFails();
    void simulatedUnitShowsWhatItReceived();
};

void TestCliCalibrate::messagesOnTheWire_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("box"); // a Name=text the run prints, "" for none
    QTest::addColumn<QString>("text");
    QTest::newRow("gain 70 by code") << QStringList { "param", "gain", "--code", "70" }
                                     << QStringList { "21 42 46 00 25 40", kFollowUp } << "GainText"
                                     << "70";
    QTest::newRow("tbmin by value") << QStringList { "param", "tbmin", "--value", "750" }
                                    << QStringList { "21 44 1F 40 3A 40", kFollowUp }
                                    << "TransceiverValueText"
                                    << "1F4";
    QTest::newRow("pulses by hex code, no octal")
        << QStringList { "param", "pulses", "--code", "0x0E" }
        << QStringList { "21 41 E0 00 80 40", kFollowUp } << "PulsesText"
        << "14";
    QTest::newRow("leading zero is decimal") << QStringList { "param", "pulses", "--code", "010" }
                                             << QStringList { "21 41 A0 00 C0 40", kFollowUp } << "PulsesText"
                                             << "10";
    QTest::newRow("power10 on") << QStringList { "param", "power10", "--code", "1" }
                                << QStringList { "21 46 10 00 77 40", kFollowUp } << "PowerText"
                                << "176.47~";
    QTest::newRow("current at 4 mA") << QStringList { "current", "io1-4ma", "--ma", "4" }
                                     << QStringList { "21 47 31 C0 97 40" } << "ActualCurrentText"
                                     << "4";
    QTest::newRow("current by code") << QStringList { "current", "io3-20ma", "--code", "56484" }
                                     << QStringList { "21 4C DC A4 15 40" } << "DtoA4_20ValueText"
                                     << "DCA4";
    QTest::newRow("relay 3 on") << QStringList { "relay", "3", "on" } << QStringList { "21 51 00 01 71 40" }
                                << ""
                                << "";
    QTest::newRow("relay 3 off") << QStringList { "relay", "3", "off" } << QStringList { "21 51 00 00 70 40" }
                                 << ""
                                 << "";
    QTest::newRow("multi-sensor relay")
        << QStringList { "relay", "multi", "on" } << QStringList { "21 55 00 01 75 40" } << ""
        << "";
    QTest::newRow("defaults") << QStringList { "defaults" } << QStringList { "21 4E 00 00 6F 40", kFollowUp }
                              << "TBMinText"
                              << "750";
}

void TestCliCalibrate::messagesOnTheWire()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, sent);
    QFETCH(QString, box);
    velto::test::PtyPair pty;
    QVERIFY(pty.isValid());
    const CliRun run = runCli(
        QStringList { "calibrate" } + arguments + QStringList { "--port", pty.slavePath(), "--trace" });
    QVERIFY(run.finished);
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QCOMPARE(sentLines(run), sent);
    QCOMPARE(hex(pty.readMasterNow()), sent.join(' '));
    // --trace: each message a row of the traffic monitor's, on stderr.
    for (const QString& message : sent)
        QVERIFY(run.errors.contains(
            "\tTX\tCalibration\t" + QString::number(message.split(' ').size()) + "\t" + message + "\t"));
    if (!box.isEmpty()) {
        QString shown;
        for (const QString& line : run.lines) {
            const auto texts = namedTexts(line);
            if (texts.contains(box))
                shown = texts.value(box);
        }
        QTEST(shown, "text");
    }
}

void TestCliCalibrate::badArgumentsSendNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no action") << QStringList {};
    QTest::newRow("unknown parameter") << QStringList { "param", "volume", "--code", "1" };
    QTest::newRow("code and value") << QStringList { "param", "gain", "--code", "70", "--value", "70" };
    QTest::newRow("neither code nor value") << QStringList { "param", "gain" };
    QTest::newRow("code outside the slider") << QStringList { "param", "pulses", "--code", "41" };
    QTest::newRow("value outside the slider") << QStringList { "param", "threshold", "--value", "5.1" };
    QTest::newRow("value not a number") << QStringList { "param", "gain", "--value", "lots" };
    QTest::newRow("power10 by value") << QStringList { "param", "power10", "--value", "1" };
    QTest::newRow("current code too big") << QStringList { "current", "io1-4ma", "--code", "65536" };
    QTest::newRow("current outside the slider") << QStringList { "current", "io1-4ma", "--ma", "24" };
    QTest::newRow("unknown output") << QStringList { "current", "io4-4ma", "--ma", "4" };
    QTest::newRow("relay 7") << QStringList { "relay", "7", "on" };
    QTest::newRow("relay without state") << QStringList { "relay", "2" };
    QTest::newRow("relay half on") << QStringList { "relay", "2", "maybe" };
    QTest::newRow("stray word") << QStringList { "defaults", "now" };
}

void TestCliCalibrate::badArgumentsSendNothing()
{
    QFETCH(QStringList, arguments);
    velto::test::PtyPair pty;
    QVERIFY(pty.isValid());
    const CliRun run
        = runCli(QStringList { "calibrate" } + arguments + QStringList { "--port", pty.slavePath() });
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, velto::test::kCliExitUsage);
    QVERIFY(!run.errors.isEmpty());
    QCOMPARE(hex(pty.readMasterNow()), QString());
}

void TestCliCalibrate::portThatWillNotOpenFails()
{
    const CliRun run = runCli({ "calibrate", "relay", "1", "on", "--port", "/dev/velto-no-such-port" });
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(sentLines(run).isEmpty());
    const CliRun missing = runCli({ "calibrate", "defaults" });
    QCOMPARE(missing.exitCode, velto::test::kCliExitUsage);
}

void TestCliCalibrate::simulatedUnitShowsWhatItReceived()
{
    QProcess sim;
    sim.start(QStringLiteral(VELTO_CLI_PATH), { QStringLiteral("sim") });
    QVERIFY(sim.waitForStarted(velto::test::kCliWaitMs));
    auto nextLine = [&sim]() -> QString {
        while (!sim.canReadLine()) {
            if (!sim.waitForReadyRead(velto::test::kCliWaitMs))
                return {};
        }
        return QString::fromUtf8(sim.readLine()).trimmed();
    };
    const QString path = nextLine();
    QVERIFY(path.startsWith("/dev/"));

    const CliRun run = runCli({ "calibrate", "param", "gain", "--value", "100", "--port", path });
    QCOMPARE(run.exitCode, 0);
    const auto gain = namedTexts(nextLine());
    QCOMPARE(gain.value("Received"), QString("21 42 64 00 07 40"));
    QCOMPARE(gain.value("Result"), QString("accepted"));
    QCOMPARE(gain.value("Gain"), QString("6400"));
    QCOMPARE(gain.value("FollowUps"), QString("0"));
    const auto followUp = namedTexts(nextLine());
    QCOMPARE(followUp.value("Received"), kFollowUp);
    QCOMPARE(followUp.value("FollowUps"), QString("1"));

    QCOMPARE(runCli({ "calibrate", "relay", "6", "on", "--port", path }).exitCode, 0);
    const auto relay = namedTexts(nextLine());
    QCOMPARE(relay.value("Relay6"), QString("on"));
    QCOMPARE(relay.value("Relay5"), QString("off"));
    QCOMPARE(relay.value("Pulses"), QString("E000"));

    sim.terminate();
    QVERIFY(sim.waitForFinished(velto::test::kCliWaitMs));
}

QTEST_GUILESS_MAIN(TestCliCalibrate)
#include "tst_cli_calibrate.moc"
