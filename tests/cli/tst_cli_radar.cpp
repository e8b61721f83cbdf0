#include "cli_process.h"
#include "support/full_device.h"
#include "support/pty_pair.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using velto::test::CliRun;
using velto::test::namedTexts;
using velto::test::runCli;

namespace {

const QStringList kFast { "--baud", "115200", "--spectrum-wait", "1500", "--time-wait", "5000" };

} // namespace

class TestCliRadar : public QObject {
    Q_OBJECT

private:
    velto::test::SimProcess m_sim;

    QStringList onSim(QStringList arguments) const
    {
        arguments << QStringLiteral("--port") << m_sim.path() << kFast;
        return arguments;
    }

private slots:
    void initTestCase() { QVERIFY(m_sim.start()); }
    void cleanupTestCase() { m_sim.stop(); }

    void sendPrintsTheJudgedReply_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("standby") << "standby"
                                 << "StandBy"
                                 << "13" << QStringList();
        QTest::newRow("track") << "track"
                               << "Track"
                               << "13" << QStringList();
        QTest::newRow("parameters") << "parameters"
                                    << "Set Parameters"
                                    << "13" << QStringList();
        QTest::newRow("parameters in hexadecimal")
            << "parameters"
            << "Set Parameters"
            << "13" << QStringList { "--central-frequency", "0x2774", "--tank-height", "0x10" };
        QTest::newRow("status") << "status"
                                << "Send Status"
                                << "13" << QStringList();
        QTest::newRow("spectrum") << "monitor"
                                  << "Monitoring"
                                  << "4352" << QStringList();
        QTest::newRow("spectrum, blocks in hexadecimal")
            << "monitor"
            << "Monitoring"
            << "4352" << QStringList { "--fft-start", "0x2", "--fft-end", "0x3" };
    }
    void sendPrintsTheJudgedReply()
    {
        QFETCH(QString, command);
        QFETCH(QString, mode);
        QFETCH(QString, size);
        QFETCH(QStringList, options);
        const CliRun run = runCli(onSim(QStringList { "radar", "send", command } + options));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 1);
        const auto shown = namedTexts(run.lines.first());
        QCOMPARE(shown.value("ModeText"), mode);
        QCOMPARE(shown.value("ReceiveBuffSize"), size);
        QVERIFY(shown.value("TextTerminaTextBox").startsWith(command == "monitor" ? " 3C " : " 55  AA "));
        if (command == "status") {
            QVERIFY(
                QRegularExpression(R"(^\d\.\d{4}$)").match(shown.value("DistanceOrLevelText")).hasMatch());
            QVERIFY(shown.value("SignalToNoiseText").toInt() > 0);
            QCOMPARE(shown.value("DistanceOrLevelLabel"), QString("Distance (m)"));
        } else {
            QCOMPARE(shown.value("SignalToNoiseText"), QString("N/A"));
        }
    }

    void monitorDrawsAPicture()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("spectrum.png");
        const CliRun run = runCli(onSim({ "radar", "send", "monitor", "--png", path }));
        QCOMPARE(run.exitCode, 0);
        QImage picture;
        QVERIFY(picture.load(path, "PNG"));
        QCOMPARE(picture.size(), QSize(800, 480));
        QCOMPARE(picture.pixelColor(403, 479), QColor(50, 150, 242)); // the base axis
        int dots = 0;
        for (int x = 0; x < picture.width(); ++x)
            for (int y = 0; y < picture.height(); ++y)
                dots += picture.pixelColor(x, y) == QColor(100, 50, 155);
        QVERIFY(dots > 256); // a dot for every bin of blocks 1-4

        const CliRun nowhere
            = runCli(onSim({ "radar", "send", "monitor", "--png", dir.filePath("no/x.png") }));
        QCOMPARE(nowhere.exitCode, 1);
        // A full disk: said, a failure, and what the name led to stays as it was.
        const QString full = velto::test::fullDeviceIn(dir.path());
        const CliRun onFull = runCli(onSim({ "radar", "send", "monitor", "--png", full }));
        QCOMPARE(onFull.exitCode, 1);
        QVERIFY2(onFull.errors.contains("cannot write the picture to " + full), qPrintable(onFull.errors));
        QVERIFY(velto::test::isDevice(full));
        QCOMPARE(runCli(onSim({ "radar", "send", "status", "--png", path })).exitCode, 2);
    }

    void timeDomainAndTrace()
    {
        const CliRun run = runCli(onSim({ "radar", "send", "monitor", "--kind", "time", "--trace" }));
        QCOMPARE(run.exitCode, 0);
        const auto shown = namedTexts(run.lines.first());
        QCOMPARE(shown.value("ReceiveBuffSize"), QString("15980"));
        QVERIFY(run.errors.startsWith("TX 55  AA  F4 "));
        QVERIFY(run.errors.contains("\nRX C3 "));
    }

    void measureRunsTheSequence()
    {
        const CliRun run = runCli(onSim({ "radar", "measure", "--count", "3", "--tank-height", "9000" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 3 + 3 + 1);
        QStringList modes;
        for (const QString& line : run.lines.first(6))
            modes << namedTexts(line).value("ModeText");
        QCOMPARE(modes,
            QStringList(
                { "StandBy", "Set Parameters", "Track", "Send Status", "Send Status", "Send Status" }));
        QCOMPARE(namedTexts(run.lines[5]).value("DistanceOrLevelLabel"), QString("Level (m)"));
        const auto last = namedTexts(run.lines.last());
        QCOMPARE(last.value("StatusText"), QString("End Of Measurements"));
        QCOMPARE(last.value("CounterOfMeasText"), QString("3"));
        QCOMPARE(last.value("MoreIndexText"), QString("1"));
    }

    void measureWithSpectrumAndPeriodical()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("run.txt");
        const CliRun spectrum
            = runCli(onSim({ "radar", "measure", "--count", "1", "--spectrum", "--file", path }));
        QCOMPARE(spectrum.exitCode, 0);
        QCOMPARE(namedTexts(spectrum.lines.last()).value("StatusText"), QString("End Of Process"));
        QCOMPARE(namedTexts(spectrum.lines.last()).value("FileNameText"), path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> fileLines = file.readAll().split('\n');
        QCOMPARE(fileLines.size(), 4 + 2 + 4096 + 2 + 1); // the last line ends too
        QCOMPARE(fileLines.at(3), QByteArray("Mode 1\r"));

        const CliRun nowhere = runCli(
            onSim({ "radar", "measure", "--count", "1", "--file", dir.filePath("missing/folder/run.txt") }));
        QCOMPARE(nowhere.exitCode, 1);
        QVERIFY(nowhere.errors.contains("One of following errors occurred:"));
        QCOMPARE(
            namedTexts(spectrum.lines[spectrum.lines.size() - 2]).value("ModeText"), QString("Monitoring"));

        const CliRun periodical = runCli(onSim({ "radar", "measure", "--periodical", "--ticks", "2" }));
        QCOMPARE(periodical.exitCode, 0);
        QCOMPARE(periodical.lines.size(), 3 + 2 + 1);
        QCOMPARE(namedTexts(periodical.lines.last()).value("StatusText"), QString("Wait for Start"));
    }

    void interruptedPeriodicalSeriesSucceeds()
    {
        // Ended the only way it ends, between two good distances.
        QProcess cli;
        cli.start(QStringLiteral(VELTO_CLI_PATH), onSim({ "radar", "measure", "--periodical" }));
        QVERIFY(cli.waitForStarted(velto::test::kCliWaitMs));
        QStringList lines;
        const auto readLines = [&cli, &lines] {
            while (cli.canReadLine())
                lines << QString::fromUtf8(cli.readLine()).trimmed();
            return lines.filter("ModeText=\"Send Status\"").size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(readLines() >= 2, velto::test::kCliWaitMs);
        cli.terminate();
        QVERIFY(cli.waitForFinished(velto::test::kCliWaitMs));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        readLines();
        QCOMPARE(namedTexts(lines.last()).value("StatusText"), QString("Wait for Start"));
    }

    void silentLineFails()
    {
        velto::test::PtyPair nobody;
        QVERIFY(nobody.isValid());
        const CliRun send = runCli({ "radar", "send", "status", "--port", nobody.slavePath() });
        QCOMPARE(send.exitCode, 1);
        QCOMPARE(namedTexts(send.lines.value(0)).value("TextTerminaTextBox"), QString("No Response"));
        const CliRun measure
            = runCli({ "radar", "measure", "--port", nobody.slavePath(), "--attempts", "2" });
        QCOMPARE(measure.exitCode, 1);
        QCOMPARE(measure.lines.size(), 2 + 1);
        QVERIFY(measure.errors.contains("no acceptable reply after 2 attempts"));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("no command") << QStringList { "radar", "send", "--port", "/dev/null" }
                                    << "name a command";
        QTest::newRow("unknown command") << QStringList { "radar", "send", "jump", "--port", "/dev/null" }
                                         << "unknown radar command 'jump'";
        QTest::newRow("no port") << QStringList { "radar", "send", "status" } << "--port is required";
        QTest::newRow("frequency") << QStringList { "radar", "send", "parameters", "--port", "/dev/null",
            "--central-frequency", "9000" }
                                   << "Wrong value. Enter a valid central frequency value";
        QTest::newRow("fft end") << QStringList { "radar", "send", "monitor", "--port", "/dev/null",
            "--fft-end", "70" } << "--fft-end wants a block from 1 to 64";
        QTest::newRow("kind") << QStringList { "radar", "send", "monitor", "--port", "/dev/null", "--kind",
            "both" } << "--kind wants spectrum or time";
        QTest::newRow("periodical with data") << QStringList { "radar", "measure", "--port", "/dev/null",
            "--periodical", "--spectrum" } << "fetches no monitoring data";
        QTest::newRow("ticks alone") << QStringList { "radar", "measure", "--port", "/dev/null", "--ticks",
            "3" } << "--ticks goes with --periodical";
        QTest::newRow("count") << QStringList { "radar", "measure", "--port", "/dev/null", "--count", "0" }
                               << "--count wants a whole number from 1 to 32767";
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, velto::test::kCliExitUsage);
        QVERIFY(run.lines.isEmpty());
        QVERIFY2(run.errors.contains(error), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestCliRadar)
#include "tst_cli_radar.moc"
