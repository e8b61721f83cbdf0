#include "cli_process.h"
#include "sim/intel_hex.h"
#include "sim/simulated_line.h"
#include "support/stand_in_converter.h"
#include "support/text_lines.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using velto::test::kCliExitUsage;
using velto::test::kCliWaitMs;
using velto::test::linesOf;
using velto::test::namedTexts;

namespace {

struct Run {
    int exitCode = -1;
    QStringList statuses; // FlashBurningStatusText of each stdout line
    QString errors;
};

// The command runs while this process's event loop serves the simulated line.
Run runAgainst(const QStringList& arguments)
{
    QProcess cli;
    QSignalSpy finished(&cli, &QProcess::finished);
    cli.start(QStringLiteral(VELTO_CLI_PATH), arguments);
    Run run;
    if (!finished.wait(kCliWaitMs)) {
        cli.kill();
        return run;
    }
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    const QStringList lines = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        run.statuses << namedTexts(line).value(QStringLiteral("FlashBurningStatusText"));
    run.errors = QString::fromUtf8(cli.readAllStandardError());
    return run;
}

} // namespace

class TestCliFlash : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    velto::sim::SimulatedLine* line = nullptr;

    velto::sim::BootloaderResponder& device() { return line->simulator().bootloader(); }
    QString writeFile(const QByteArray& content)
    {
        QFile file(dir.filePath(QStringLiteral("firmware.hex")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(content);
        return file.fileName();
    }

private slots:
    void init()
    {
        line = new velto::sim::SimulatedLine;
        QVERIFY(line->isValid());
    }
    void cleanup() { delete line; }

    void burnsAFileExactly()
    {
        const QByteArray file = velto::sim::sampleHexFile(300);
        const Run run = runAgainst({ "flash", "burn", "--port", line->devicePath(), "--baud", "115200",
            "--hex", writeFile(file), "--erase", "--converter", dir.filePath("none") });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.statuses,
            (QStringList { "Flash Erase in Progress...", "Flash Erase Succeeded", "Flash Start Burn",
                "File Transfering... Please Wait", "End of File", "Flash Burning Succeeded" }));
        QCOMPARE(device().records(), linesOf(file));
        QVERIFY2(run.errors.contains("Error starting task " + dir.filePath("none")), qPrintable(run.errors));
        QVERIFY(run.errors.contains("line 300 of 300"));
    }

    void deviceRefusalsFail_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QList<int>>("lineCodes");
        QTest::addColumn<QList<int>>("commandCodes");
        QTest::addColumn<QString>("status");
        QTest::newRow("four bad checksums")
            << QStringList { "burn", "--hex" } << QList<int> { 0xA2, 0xA2, 0xA2, 0xA2 } << QList<int> {}
            << "Error - Retry Four Times";
        QTest::newRow("erase failed")
            << QStringList { "erase" } << QList<int> {} << QList<int> { 0xB6 } << "Flash Erase Failed";
        QTest::newRow("test failed") << QStringList { "test" } << QList<int> {} << QList<int> { 0xB3 }
                                     << "Flash Test Failed";
        QTest::newRow("burn after a failed erase")
            << QStringList { "burn", "--erase", "--hex" } << QList<int> {} << QList<int> { 0xB6 }
            << "Flash Burning Ended Without A Successful Erase";
        QTest::newRow("erase answered with an unknown code")
            << QStringList { "erase" } << QList<int> {} << QList<int> { 'Z' }
            << "Flash Erase Answered With An Unknown Code (0x5A)";
    }
    void deviceRefusalsFail()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, lineCodes);
        QFETCH(QList<int>, commandCodes);
        QFETCH(QString, status);
        for (int code : lineCodes)
            device().forcedLineCodes.append(quint8(code));
        for (int code : commandCodes)
            device().forcedCommandCodes.append(quint8(code));
        QStringList args { "flash" };
        args << arguments;
        if (args.last() == "--hex")
            args << writeFile(velto::sim::sampleHexFile(5)) << "--converter" << dir.filePath("none");
        args << "--port" << line->devicePath();
        const Run run = runAgainst(args);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.statuses.last().startsWith(status), qPrintable(run.statuses.last()));
    }

    // An adapter that echoes: our own ">B0" is never the answer; with --remove-echo the link skips it.
    void anEchoingLine_data()
    {
        QTest::addColumn<bool>("removeEcho");
        QTest::newRow("echo left on the line") << false;
        QTest::newRow("--remove-echo") << true;
    }
    void anEchoingLine()
    {
        QFETCH(bool, removeEcho);
        velto::sim::LineFaults echo;
        echo.echo = true;
        line->setFaults(echo);
        const QByteArray file = velto::sim::sampleHexFile(5);
        QStringList args { "flash", "burn", "--port", line->devicePath(), "--hex", writeFile(file),
            "--converter", dir.filePath("none") };
        if (removeEcho)
            args << "--remove-echo";
        const Run run = runAgainst(args);
        if (removeEcho) {
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(device().records(), linesOf(file));
            return;
        }
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.statuses.last(),
            QStringLiteral("Error - Retry Four Times: >B0, own message echoed (the adapter echoes what is "
                           "sent: turn on Remove echo)"));
        QVERIFY(device().records().isEmpty());
    }

    void aFailedConverterSendsNothing()
    {
        const QString converter = velto::test::writeStandInConverter(dir.path(), "exit 3");
        const Run run = runAgainst({ "flash", "burn", "--port", line->devicePath(), "--hex",
            writeFile(velto::sim::sampleHexFile(5)), "--erase", "--converter", converter });
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains("ended with status 3: nothing was sent"), qPrintable(run.errors));
        QCOMPARE(device().commandsReceived(), 0);
    }

    void eraseAndTestSucceed()
    {
        Run run = runAgainst({ "flash", "erase", "--port", line->devicePath(), "--trace" });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.statuses, (QStringList { "Flash Erase in Progress...", "Flash Erase Succeeded" }));
        QVERIFY(run.errors.contains("DebugText: >B4"));
        QVERIFY(run.errors.contains("DebugText: <B5"));
        run = runAgainst({ "flash", "test", "--port", line->devicePath() });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.statuses.last(), QStringLiteral("Flash Test Succeeded"));
    }

    void badArguments()
    {
        QCOMPARE(runAgainst({ "flash", "burn", "--port", line->devicePath() }).exitCode, kCliExitUsage);
        QCOMPARE(runAgainst({ "flash", "erase" }).exitCode, kCliExitUsage);
        QCOMPARE(runAgainst({ "flash", "test", "--port", line->devicePath(), "--hex", "x" }).exitCode,
            kCliExitUsage);
        const Run missing = runAgainst({ "flash", "burn", "--port", line->devicePath(), "--hex",
            dir.filePath("missing.hex"), "--converter", dir.filePath("none") });
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.errors.contains("Cannot read the HEX file"));
        QCOMPARE(device().commandsReceived(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCliFlash)
#include "tst_cli_flash.moc"
