// The commands against a line that echoes every byte sent, as RS-485 adapters that hear their own
// transmitter do: with --remove-echo they work as on a clean line and --trace shows the echo; without
// it they fail.
#include "cli_process.h"

#include <QTest>

using velto::test::CliRun;
using velto::test::runCli;

namespace {
constexpr int kPatientReplyWaitMs = 250;
} // namespace

class TestCliEcho : public QObject {
    Q_OBJECT

private:
    velto::test::SimProcess m_sim;

private slots:
    void initTestCase() { QVERIFY(m_sim.start({ "--echo" })); }
    void cleanupTestCase() { m_sim.stop(); }

    void echoingLine_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("removeEcho");
        QTest::addColumn<int>("exitCode");
        const QStringList velto { "velto", "poll", "--address", "10", "--ticks", "1", "--reply-wait",
            QString::number(kPatientReplyWaitMs) };
        QTest::newRow("velto poll, echo removed") << velto << true << 0;
        QTest::newRow("velto poll, echo left") << velto << false << 1;
        QTest::newRow("flash erase, echo removed") << QStringList { "flash", "erase" } << true << 0;
        const QStringList radar { "radar", "send", "status", "--baud", "115200" };
        QTest::newRow("radar status, echo removed") << radar << true << 0;
        QTest::newRow("radar status, echo left") << radar << false << 1;
        const QStringList modbus { "modbus", "read", "--start", "0", "--count", "2" };
        QTest::newRow("modbus read, echo removed") << modbus << true << 0;
        QTest::newRow("modbus read, echo left") << modbus << false << 1;
    }

    void echoingLine()
    {
        QFETCH(QStringList, command);
        QFETCH(bool, removeEcho);
        QFETCH(int, exitCode);
        QStringList args = command + QStringList { "--port", m_sim.path(), "--trace" };
        if (removeEcho)
            args << "--remove-echo";
        const CliRun run = runCli(args);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, exitCode);
        // The trace shows our own bytes coming back, skipped or not.
        QCOMPARE(run.errors.contains("\techo of what was sent, skipped"), removeEcho);
    }
};

QTEST_GUILESS_MAIN(TestCliEcho)
#include "tst_cli_echo.moc"
