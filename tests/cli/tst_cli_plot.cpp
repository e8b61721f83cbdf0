// --plot of the two poll commands against the simulated sensors: the picture of the run, written at
// its end however it ends, and the reason when it cannot be.
#include "cli_process.h"
#include "support/image_pixels.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using velto::test::CliRun;
using velto::test::notWhite;
using velto::test::runCli;

class TestCliPlot : public QObject {
    Q_OBJECT

private:
    velto::test::SimProcess m_sim;
    QTemporaryDir m_dir;

    QStringList onSim(QStringList arguments) const
    {
        arguments << QStringLiteral("--port") << m_sim.path();
        return arguments;
    }
    void checkPicture(const QString& path)
    {
        const QImage picture(path);
        QCOMPARE(picture.size(), QSize(1280, 720));
        QVERIFY(notWhite(picture) > 5000);
    }

private slots:
    void initTestCase() { QVERIFY(m_sim.start()); }
    void cleanupTestCase() { m_sim.stop(); }

    void plots_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("modbus poll") << QStringList { "modbus", "poll", "--ticks", "6", "--slave", "2" } << 0;
        // The failures are in the picture too, as gaps and marks; the run still failed.
        QTest::newRow("modbus poll, a silent slave")
            << QStringList { "modbus", "poll", "--ticks", "3", "--slave", "7", "--rx-timeout", "200" } << 1;
        QTest::newRow("velto poll") << QStringList { "velto", "poll", "--ticks", "2", "--address", "20" }
                                    << 0;
    }
    void plots()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const QString path = m_dir.filePath(QString(QTest::currentDataTag()).replace(' ', '_') + ".png");
        const CliRun run = runCli(onSim(arguments << "--plot" << path));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, exitCode);
        checkPicture(path);
    }

    // Ctrl-C ends the run and the picture is still written.
    void interrupted()
    {
        const QString path = m_dir.filePath("interrupted.png");
        QProcess cli;
        cli.start(QStringLiteral(VELTO_CLI_PATH), onSim({ "modbus", "poll", "--plot", path }));
        QVERIFY(cli.waitForStarted(velto::test::kCliWaitMs));
        // The static and the dynamic group have been read.
        qsizetype lines = 0;
        while (lines < 2 && cli.state() == QProcess::Running) {
            QVERIFY(cli.waitForReadyRead(velto::test::kCliWaitMs));
            lines += cli.readAllStandardOutput().count('\n');
        }
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(velto::test::kCliWaitMs));
        checkPicture(path);
    }

    void unwritable_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such folder") << m_dir.filePath("missing/trend.png") << "does not exist";
        QTest::newRow("a folder") << m_dir.path() << "it is a folder";
    }
    void unwritable()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        for (const QStringList& command :
            { QStringList { "modbus", "poll" }, QStringList { "velto", "poll" } }) {
            const CliRun run = runCli(onSim(command + QStringList { "--ticks", "1", "--plot", path }));
            QVERIFY(run.finished);
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.errors.contains(reason), qPrintable(run.errors));
            QVERIFY(run.lines.isEmpty());
        }
        // Found only at the end: a device that takes nothing.
        const CliRun run = runCli(onSim({ "modbus", "poll", "--ticks", "1", "--plot", "/dev/full" }));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains("Could not write /dev/full"), qPrintable(run.errors));
    }
};

QTEST_MAIN(TestCliPlot)
#include "tst_cli_plot.moc"
