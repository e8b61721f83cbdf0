#include "cli_process.h"
#include "support/ser2net_rig.h"

#include <QModbusTcpServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using velto::test::Ser2netRig;

namespace {

constexpr int kPatientReplyWaitMs = 250;
const QString kForms = QStringLiteral("tcp://HOST:PORT, rfc2217://HOST:PORT or mbtcp://HOST:PORT");

enum class Peer { None, Raw, Rfc2217, ModbusTcp };

} // namespace

Q_DECLARE_METATYPE(Peer)

// velto-cli through a serial device server (ser2net in front of `velto-cli sim`) and against a Modbus
// TCP device (Qt's own server in this process, which answers while the command runs).
class TstCliNetwork : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_sim.start()); }
    void cleanupTestCase() { m_sim.stop(); }
    void commandsOverTheNetwork_data();
    void commandsOverTheNetwork();

private:
    velto::test::SimProcess m_sim;
};

void TstCliNetwork::commandsOverTheNetwork_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::addColumn<QStringList>("arguments"); // %1 in --port is the peer's address
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // part of stdout, or of stderr when the command fails

    const QStringList veltoPoll { "velto", "poll", "--address", "10", "--ticks", "2", "--reply-wait",
        QString::number(kPatientReplyWaitMs), "--port", "%1" };
    const QStringList modbusRead { "modbus", "read", "--start", "0", "--count", "2", "--port", "%1" };
    QTest::newRow("velto poll over raw TCP") << Peer::Raw << veltoPoll << 0 << "VeltoDevSta=";
    QTest::newRow("velto poll over RFC 2217") << Peer::Rfc2217 << veltoPoll << 0 << "VeltoDevSta=";
    QTest::newRow("modbus read over Modbus TCP") << Peer::ModbusTcp << modbusRead << 0 << "4660";
    QTest::newRow("modbus read over RFC 2217")
        << Peer::Rfc2217 << modbusRead << 0 << "polls=1 valid=1 timeouts=0 errors=0";
    QTest::newRow("bad address: exit 2 with the forms")
        << Peer::None << QStringList { "velto", "poll", "--port", "tcp://nohost" }
        << velto::test::kCliExitUsage << kForms;
    QTest::newRow("modbus read, bad address")
        << Peer::None
        << QStringList { "modbus", "read", "--start", "0", "--count", "1", "--port", "rfc2217://host:0" }
        << velto::test::kCliExitUsage << kForms;
    QTest::newRow("Modbus TCP for a byte protocol: exit 2")
        << Peer::None << QStringList { "velto", "poll", "--port", "mbtcp://127.0.0.1:502" }
        << velto::test::kCliExitUsage << "Modbus TCP";
    QTest::newRow("velto poll, refused: the system's reason")
        << Peer::None << QStringList { "velto", "poll", "--ticks", "1", "--port", "tcp://127.0.0.1:%2" } << 1
        << "Connection refused";
    QTest::newRow("modbus read, refused: the system's reason")
        << Peer::None
        << QStringList { "modbus", "read", "--start", "0", "--count", "1", "--port", "mbtcp://127.0.0.1:%2" }
        << 1 << "Connection refused";
}

void TstCliNetwork::commandsOverTheNetwork()
{
    QFETCH(Peer, peer);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    Ser2netRig ser2net;
    QModbusTcpServer modbusServer;
    QString address;
    if (peer == Peer::Raw || peer == Peer::Rfc2217) {
        if (const QString why = Ser2netRig::unavailableReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(ser2net.start(
            m_sim.path(), peer == Peer::Raw ? Ser2netRig::Mode::Raw : Ser2netRig::Mode::Rfc2217));
        QTRY_VERIFY_WITH_TIMEOUT(ser2net.listening(), velto::test::kCliWaitMs);
        address = ser2net.address();
    } else if (peer == Peer::ModbusTcp) {
        QModbusDataUnitMap map;
        map.insert(QModbusDataUnit::HoldingRegisters, { QModbusDataUnit::HoldingRegisters, 0, 2 });
        modbusServer.setMap(map);
        modbusServer.setData(QModbusDataUnit::HoldingRegisters, 0, 0x1234);
        modbusServer.setServerAddress(1);
        const quint16 port = velto::test::freeLoopbackPort();
        modbusServer.setConnectionParameter(
            QModbusDevice::NetworkAddressParameter, QStringLiteral("127.0.0.1"));
        modbusServer.setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
        QVERIFY(modbusServer.connectDevice());
        address = QStringLiteral("mbtcp://127.0.0.1:%1").arg(port);
    }
    // %1: the peer's address; %2: a port nothing listens on.
    for (QString& argument : arguments)
        argument.replace("%1", address).replace("%2", QString::number(velto::test::freeLoopbackPort()));

    // Run without blocking: the Modbus TCP server answers from this process's event loop.
    QProcess cli;
    QSignalSpy finished(&cli, &QProcess::finished);
    cli.start(QStringLiteral(VELTO_CLI_PATH), arguments);
    QVERIFY(finished.wait(velto::test::kCliWaitMs));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(cli.exitStatus() == QProcess::NormalExit, qPrintable(err));
    QVERIFY2(cli.exitCode() == exitCode,
        qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(cli.exitCode()).arg(out, err)));
    const QString shown = exitCode == 0 ? out : err;
    QVERIFY2(shown.contains(output), qPrintable(out + err));
    // A failure is said once.
    if (exitCode == 1)
        QCOMPARE(err.count(output), 1);
}

QTEST_GUILESS_MAIN(TstCliNetwork)
#include "tst_cli_network.moc"
