#include "cli_process.h"
#include "support/pty_pair.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace velto::test;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCliDebugCapture : public QObject {
    Q_OBJECT

private slots:
    // The simulated Taliq485 for two seconds: its lines on stdout and in the file, stamped.
    void capturesTheSimulatedTaliq485()
    {
        SimProcess sim;
        QVERIFY(sim.start({ QStringLiteral("--taliq485") }));
        QTemporaryDir dir;
        const QString out = dir.filePath("capture.txt");
        const CliRun run
            = runCli({ "debug", "capture", "--port", sim.path(), "--out", out, "--seconds", "2" });
        sim.stop();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);

        const QStringList fileLines = QString::fromLatin1(fileBytes(out)).split("\r\n", Qt::SkipEmptyParts);
        static const QRegularExpression stamped(QStringLiteral("^[^\t\r\n]*\t[0-9]*\\.[0-9][0-9]$"));
        int records = 0;
        for (const QString& line : fileLines) {
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
            records += line.startsWith("D ") && line.contains(" RD2 ") ? 1 : 0;
        }
        QVERIFY(records >= 3);

        int shown = 0;
        for (const QString& line : run.lines) {
            if (line.startsWith("DebugWindowText="))
                ++shown;
        }
        QVERIFY(shown >= fileLines.size() - 1);
        const auto summary = namedTexts(run.lines.last());
        QCOMPARE(summary.value("CapturedBytes").toLongLong(), fileBytes(out).size());
        QVERIFY(summary.value("ReceivedBytes").toLongLong() > 0);
    }

    // A peer's known stream, ended by an interrupt or by --seconds, wherever the line stands then:
    // the file holds the whole lines only.
    void knownStreamUntilInterrupted_data()
    {
        QTest::addColumn<QByteArray>("unfinished"); // written after the two whole lines
        QTest::addColumn<bool>("bySeconds");
        QTest::newRow("interrupted at a line end") << QByteArray() << false;
        QTest::newRow("interrupted inside a line") << QByteArray("D 1523 RD 15") << false;
        QTest::newRow("--seconds ends inside a line") << QByteArray("D 1523 RD 15") << true;
    }
    void knownStreamUntilInterrupted()
    {
        QFETCH(QByteArray, unfinished);
        QFETCH(bool, bySeconds);
        PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryDir dir;
        const QString out = dir.filePath("capture.txt");
        QStringList arguments { "debug", "capture", "--port", pty.slavePath(), "--out", out, "--trace" };
        if (bySeconds)
            arguments << "--seconds"
                      << "3";
        QProcess cli;
        cli.start(QStringLiteral(VELTO_CLI_PATH), arguments);
        QVERIFY(cli.waitForStarted(kCliWaitMs));
        // The file exists once the capture runs; the port is open by then too.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), kCliWaitMs);
        QVERIFY(pty.writeMaster("abc\r"));
        QVERIFY(pty.writeMaster("\ndef\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(out).count("\r\n") == 2, kCliWaitMs);
        QString trace;
        if (!unfinished.isEmpty()) {
            QVERIFY(pty.writeMaster(unfinished));
            // The trace shows the bytes once the capture has read them (its last bytes at least,
            // should the line have come in two reads).
            const QString hex = QString::fromLatin1(unfinished.right(3).toHex(' ').toUpper());
            QTRY_VERIFY_WITH_TIMEOUT(
                (trace += QString::fromLatin1(cli.readAllStandardError())).contains(hex), kCliWaitMs);
        }
        if (!bySeconds)
            cli.terminate();
        QVERIFY(cli.waitForFinished(kCliWaitMs));
        QCOMPARE(cli.exitCode(), 0);
        const QStringList lines
            = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(0).startsWith("DebugWindowText=\"abc   "));
        QVERIFY(lines.at(1).startsWith("DebugWindowText=\"def   "));
        static const QRegularExpression file(
            QStringLiteral("^abc\t[0-9]*\\.[0-9][0-9]\r\ndef\t[0-9]*\\.[0-9][0-9]\r\n$"));
        QVERIFY2(file.match(QString::fromLatin1(fileBytes(out))).hasMatch(), fileBytes(out).constData());
        QCOMPARE(namedTexts(lines.last()).value("CapturedBytes").toLongLong(), fileBytes(out).size());
    }

    void failuresAndBadArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no port") << QStringList { "--out", "x.txt" } << kCliExitUsage;
        QTest::newRow("no file") << QStringList { "--port", "/dev/null" } << kCliExitUsage;
        QTest::newRow("bad seconds") << QStringList { "--port", "/dev/null", "--out", "x.txt", "--seconds",
            "two" } << kCliExitUsage;
        QTest::newRow("port missing")
            << QStringList { "--port", "/dev/no-such-port", "--out", "@DIR@/x.txt" } << 1;
        QTest::newRow("file in a missing folder")
            << QStringList { "--port", "@PTY@", "--out", "@DIR@/missing/x.txt" } << 1;
        QTest::newRow("a pipe for the file") << QStringList { "--port", "@PTY@", "--out", "@FIFO@" } << 1;
    }
    void failuresAndBadArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        PtyPair pty;
        QTemporaryDir dir;
        for (QString& a : arguments) {
            if (a == "@FIFO@") {
                a = dir.filePath("fifo");
                QCOMPARE(mkfifo(QFile::encodeName(a).constData(), 0600), 0);
            }
            a.replace("@DIR@", dir.path()).replace("@PTY@", pty.slavePath());
        }
        const CliRun run = runCli(QStringList { "debug", "capture" } + arguments);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY(!run.errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliDebugCapture)
#include "tst_cli_debug_capture.moc"
