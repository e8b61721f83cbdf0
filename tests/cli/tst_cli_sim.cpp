#include "support/modbus_outcome.h"

#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

constexpr int kWaitMs = 10000;
constexpr int kExitUsage = 2;

using Outcome = velto::test::ModbusOutcome;

Outcome finish(QModbusReply* reply)
{
    return velto::test::modbusOutcome(reply, kWaitMs);
}

bool finished(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return true;
    QSignalSpy done(&process, &QProcess::finished);
    return done.wait(kWaitMs);
}

} // namespace

class TestCliSim : public QObject {
    Q_OBJECT

private slots:
    void servesTheLineUntilTerminated()
    {
        QProcess cli;
        cli.setProcessChannelMode(QProcess::SeparateChannels);
        cli.start(QStringLiteral(VELTO_CLI_PATH),
            { QStringLiteral("sim"), QStringLiteral("--menu"), QStringLiteral("3") });
        QVERIFY(cli.waitForStarted(kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(cli.canReadLine(), kWaitMs);
        const QString path = QString::fromLocal8Bit(cli.readLine()).trimmed();
        QVERIFY2(path.startsWith(QLatin1String("/dev/")), qPrintable(path));

        {
            QModbusRtuSerialClient client;
            client.setConnectionParameter(QModbusDevice::SerialPortNameParameter, path);
            client.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, QSerialPort::Baud9600);
            client.setTimeout(2000);
            client.setNumberOfRetries(0);
            QVERIFY(client.connectDevice());

            const Outcome dynamic
                = finish(client.sendReadRequest(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, 0, 8), 1));
            QCOMPARE(dynamic.error, QModbusDevice::NoError);
            QCOMPARE(dynamic.values.size(), 8);
            QCOMPARE(dynamic.values[0], quint16(1));

            // --menu 3 put sensor 3 in its menu.
            const Outcome busy = finish(client.sendWriteRequest(
                QModbusDataUnit(QModbusDataUnit::HoldingRegisters, 51, QList<quint16> { 1000 }), 3));
            QCOMPARE(busy.error, QModbusDevice::ProtocolError);
            QCOMPARE(busy.exception, 6);
            client.disconnectDevice();
        }

        cli.terminate();
        QVERIFY(finished(cli));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
    }

    void interruptEndsCleanly()
    {
        QProcess cli;
        cli.start(QStringLiteral(VELTO_CLI_PATH), { QStringLiteral("sim") });
        QVERIFY(cli.waitForStarted(kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(cli.canReadLine(), kWaitMs);
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(finished(cli));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command") << QStringList { "bogus" };
        QTest::newRow("menu out of range") << QStringList { "sim", "--menu", "9" };
        QTest::newRow("menu not a number") << QStringList { "sim", "--menu", "x" };
        QTest::newRow("unknown option") << QStringList { "sim", "--fast" };
        QTest::newRow("stray argument") << QStringList { "sim", "extra" };
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QProcess cli;
        cli.start(QStringLiteral(VELTO_CLI_PATH), arguments);
        QVERIFY(cli.waitForStarted(kWaitMs));
        QVERIFY(finished(cli));
        QCOMPARE(cli.exitCode(), kExitUsage);
        QVERIFY(cli.readAllStandardOutput().isEmpty());
        QVERIFY(cli.readAllStandardError().contains("Usage: velto-cli"));
    }
};

QTEST_GUILESS_MAIN(TestCliSim)
#include "tst_cli_sim.moc"
