// The command line's writers (the readings log of both polls, the debug capture) against files that
// fail: a full disk, a folder in the file's place, the file deleted mid-run. Each says so on stderr in
// the writer's words, exits with a failure, and the polling or listening goes on to its end.
#include "cli_process.h"
#include "support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using velto::test::CliRun;
using velto::test::kCliWaitMs;
using velto::test::PtyPair;
using velto::test::runCli;

namespace {

constexpr int kTicks = 6;
const QString kEnterDataError = QStringLiteral("an error has occurd on EnterDataToFile");
const QString kCreateFileError = QStringLiteral("An error has occurd");

// A poll quick enough to log after every tick.
QStringList pollArguments(const QString& mode, const QString& port, const QString& log)
{
    const QString ticks = QString::number(kTicks);
    if (mode == "modbus")
        return { "modbus", "poll", "--port", port, "--slave", "2", "--ticks", ticks, "--interval", "200",
            "--log", log, "--rate", "0.1" };
    return { "velto", "poll", "--port", port, "--address", "10", "--ticks", ticks, "--interval", "200",
        "--log", log, "--rate", "0.1" };
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstCliFileFaults : public QObject {
    Q_OBJECT

private:
    velto::test::SimProcess m_sim;

private slots:
    void initTestCase() { QVERIFY(m_sim.start()); }
    void cleanupTestCase() { m_sim.stop(); }

    void readingsLogFails_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("fault");
        for (const char* mode : { "modbus", "velto" })
            for (const char* fault : { "full disk", "folder in its place", "deleted mid-run" })
                QTest::addRow("%s poll, %s", mode, fault) << QString(mode) << QString(fault);
    }
    void readingsLogFails()
    {
        QFETCH(QString, mode);
        QFETCH(QString, fault);
        QTemporaryDir dir;
        QString path = dir.filePath("readings.csv");
        if (fault == "full disk") {
            if (!QFile::exists("/dev/full"))
                QSKIP("no /dev/full here");
            path = "/dev/full";
        } else if (fault == "folder in its place") {
            QVERIFY(QDir(dir.path()).mkdir("readings.csv"));
        }

        if (fault != "deleted mid-run") {
            const CliRun run = runCli(pollArguments(mode, m_sim.path(), path));
            QVERIFY(run.finished);
            QCOMPARE(run.exitCode, 1);
            if (fault == "folder in its place") {
                // Said before anything is polled.
                QVERIFY2(run.errors.contains(kCreateFileError + ": " + path), qPrintable(run.errors));
                QCOMPARE(run.lines.size(), 0);
                QVERIFY(QFileInfo(path).isDir());
            } else {
                QVERIFY2(run.errors.contains(kEnterDataError), qPrintable(run.errors));
                // Every tick was polled and printed despite the log.
                QCOMPARE(run.lines.size() - (mode == "modbus" ? 1 : 0), kTicks);
            }
            return;
        }

        // The log is deleted once it holds a line; the run goes on and does not make a new one.
        QProcess cli;
        QStringList arguments = pollArguments(mode, m_sim.path(), path);
        arguments[arguments.indexOf("--ticks") + 1] = QString::number(kTicks * 4);
        cli.start(QStringLiteral(VELTO_CLI_PATH), arguments);
        QVERIFY(cli.waitForStarted(kCliWaitMs));
        // The title and one line.
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(path).count("\r\n") >= 2, kCliWaitMs);
        QVERIFY(QFile::remove(path));
        QVERIFY(cli.waitForFinished(kCliWaitMs));
        QCOMPARE(cli.exitCode(), 1);
        const QString errors = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(errors.contains(kEnterDataError), qPrintable(errors));
        QVERIFY(!QFile::exists(path));
        const QStringList lines
            = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size() - (mode == "modbus" ? 1 : 0), kTicks * 4);
    }

    void captureOnAFullDiskFails()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        PtyPair pty;
        QVERIFY(pty.isValid());
        QProcess cli;
        cli.start(QStringLiteral(VELTO_CLI_PATH),
            { "debug", "capture", "--port", pty.slavePath(), "--out", "/dev/full" });
        QVERIFY(cli.waitForStarted(kCliWaitMs));
        // Lines until the capture gives up; the terminal flushes its file as lines come.
        QTRY_VERIFY_WITH_TIMEOUT(
            pty.writeMaster("D 1834 P 3 S 0\r\n") && cli.state() == QProcess::NotRunning, kCliWaitMs);
        QCOMPARE(cli.exitCode(), 1);
        const QString errors = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(errors.contains("/dev/full"), qPrintable(errors));
    }
};

QTEST_GUILESS_MAIN(TstCliFileFaults)
#include "tst_cli_file_faults.moc"
