#include "modbus/tcp_modbus_master.h"
#include "support/ser2net_rig.h"

#include <QModbusTcpServer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <optional>

using velto::modbus::ModbusResult;
using velto::modbus::TcpModbusMaster;
using velto::test::DelayRelay;
namespace vm = velto::modbus;

namespace {

constexpr int kSlave = 1;
constexpr int kRegisterCount = 256;
constexpr quint16 kValueBase = 1000;
constexpr int kPatientRxMs = 5000;
constexpr int kShortRxMs = 150;
constexpr int kRelayDelayMs = 400;
constexpr int kHangGuardMs = 20000;

enum class Scenario {
    Read, // 8 registers from 0
    WriteOne, // register 10 := 4321, read back by the server
    WriteManyOfOne, // register 20 := 7 by Write Multiple Registers
    IllegalAddress, // registers past the map
    Probe, // a function the device does not implement
    DeviceBusy, // the device refuses everything as busy
    BroadcastRefused, // slave 0 is never sent
    Refused, // nothing listens
    ServerGoneMidPoll, // a good read, then the server goes away
    SilentServer, // accepts and never answers
    LateAnswerNotTaken, // the first answer comes after its time-out; the next request gets its own
    ShortAnswer, // a hand-made answer with 7 registers for 8
};

} // namespace

Q_DECLARE_METATYPE(Scenario)

class TstTcpModbusMaster : public QObject {
    Q_OBJECT
private slots:
    void overTcp_data();
    void overTcp();
    void wrongAddressRefused_data();
    void wrongAddressRefused();
};

void TstTcpModbusMaster::overTcp_data()
{
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text"); // part of LastErrorText
    QTest::addColumn<bool>("lost"); // lineLost once, port closed after

    QTest::newRow("read") << Scenario::Read << 0 << "No error" << false;
    QTest::newRow("write single register") << Scenario::WriteOne << 0 << "No error" << false;
    QTest::newRow("write multiple, one value") << Scenario::WriteManyOfOne << 0 << "No error" << false;
    QTest::newRow("illegal data address")
        << Scenario::IllegalAddress << 102 << "Illegal Data Address (exception 2)" << false;
    QTest::newRow("illegal function probe")
        << Scenario::Probe << 101 << "Illegal Function (exception 1)" << false;
    QTest::newRow("device busy is status 12") << Scenario::DeviceBusy << 12 << "Server Device Busy" << false;
    QTest::newRow("slave 0 refused") << Scenario::BroadcastRefused << int(vm::StatusBadAddress) << "broadcast"
                                     << false;
    QTest::newRow("connection refused")
        << Scenario::Refused << int(vm::StatusLineLost) << "Connection refused" << true;
    QTest::newRow("server gone mid-poll")
        << Scenario::ServerGoneMidPoll << int(vm::StatusLineLost) << "lost" << true;
    QTest::newRow("silent server") << Scenario::SilentServer << 9 << "no response from slave 1" << false;
    QTest::newRow("late answer not taken for the next")
        << Scenario::LateAnswerNotTaken << 0 << "No error" << false;
    QTest::newRow("short answer") << Scenario::ShortAnswer << int(vm::StatusInvalidResponse)
                                  << "Invalid response" << false;
}

void TstTcpModbusMaster::overTcp()
{
    QFETCH(Scenario, scenario);
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(bool, lost);

    // Qt's own server as the independent slave, with registers 1000, 1001, ...
    QModbusTcpServer server;
    QModbusDataUnitMap map;
    map.insert(QModbusDataUnit::HoldingRegisters, { QModbusDataUnit::HoldingRegisters, 0, kRegisterCount });
    server.setMap(map);
    for (int i = 0; i < kRegisterCount; ++i)
        server.setData(QModbusDataUnit::HoldingRegisters, quint16(i), quint16(kValueBase + i));
    server.setServerAddress(kSlave);
    const quint16 serverPort = velto::test::freeLoopbackPort();
    server.setConnectionParameter(QModbusDevice::NetworkAddressParameter, QStringLiteral("127.0.0.1"));
    server.setConnectionParameter(QModbusDevice::NetworkPortParameter, serverPort);
    if (scenario != Scenario::Refused)
        QVERIFY2(server.connectDevice(), qPrintable(server.errorString()));
    if (scenario == Scenario::DeviceBusy)
        server.setValue(QModbusServer::DeviceBusy, 0xffff);

    // A hand-made device that answers every read with one register too few.
    QTcpServer shortDevice;
    connect(&shortDevice, &QTcpServer::newConnection, &shortDevice, [&shortDevice] {
        QTcpSocket* socket = shortDevice.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            const QByteArray request = socket->readAll();
            // Transaction id, protocol 0, length 3 + 14, unit, function 3, 14 bytes = 7 registers.
            QByteArray answer = request.left(4) + QByteArray::fromHex("0011") + request.mid(6, 2) + char(14);
            answer += QByteArray(14, '\x01');
            socket->write(answer);
        });
    });
    std::unique_ptr<DelayRelay> relay;
    quint16 port = serverPort;
    if (scenario == Scenario::SilentServer || scenario == Scenario::LateAnswerNotTaken) {
        relay = std::make_unique<DelayRelay>(
            scenario == Scenario::SilentServer ? quint16(0) : serverPort, kRelayDelayMs);
        port = relay->port();
    } else if (scenario == Scenario::ShortAnswer) {
        QVERIFY(shortDevice.listen(QHostAddress::LocalHost, 0));
        port = shortDevice.serverPort();
    }

    TcpModbusMaster master;
    QSignalSpy lostSpy(&master, &TcpModbusMaster::lineLost);
    master.setRxTimeout(scenario == Scenario::SilentServer || scenario == Scenario::LateAnswerNotTaken
            ? kShortRxMs
            : kPatientRxMs);
    const QString address = QStringLiteral("mbtcp://127.0.0.1:%1").arg(port);
    QVERIFY2(master.openPort(address, "9600,n,8,1"), qPrintable(master.lastErrorText()));
    QVERIFY(master.portOpen());

    std::optional<ModbusResult> got;
    int calls = 0;
    QObject context;
    const vm::ModbusMaster::Done done = [&](const ModbusResult& r) {
        got = r;
        ++calls;
    };
    const auto waitOne = [&] {
        const bool answered = QTest::qWaitFor([&] { return calls > 0; }, kHangGuardMs);
        QTest::qWait(0);
        return answered && calls == 1;
    };

    switch (scenario) {
    case Scenario::WriteOne:
        master.writeRegister(kSlave, 10, 4321, &context, done);
        break;
    case Scenario::WriteManyOfOne:
        master.writeRegisters(kSlave, 20, { 7 }, &context, done);
        break;
    case Scenario::IllegalAddress:
        master.readRegisters(kSlave, kRegisterCount - 2, 5, &context, done);
        break;
    case Scenario::Probe:
        master.probeIllegalFunction(kSlave, 51, { 1, 1, 1, 0, 0 }, &context, done);
        break;
    case Scenario::BroadcastRefused:
        master.readRegisters(0, 0, 8, &context, done);
        break;
    case Scenario::ServerGoneMidPoll:
        master.readRegisters(kSlave, 0, 8, &context, done);
        QVERIFY(waitOne());
        QVERIFY(got->ok());
        calls = 0;
        server.disconnectDevice();
        master.readRegisters(kSlave, 0, 8, &context, done);
        break;
    case Scenario::LateAnswerNotTaken:
        master.readRegisters(kSlave, 0, 8, &context, done);
        QVERIFY(waitOne());
        QCOMPARE(got->status, 9);
        calls = 0;
        master.setRxTimeout(kPatientRxMs);
        // Other registers: the late answer to the first request would show the wrong values.
        master.readRegisters(kSlave, 100, 8, &context, done);
        break;
    default:
        master.readRegisters(kSlave, 0, 8, &context, done);
        break;
    }
    QVERIFY(waitOne());
    QCOMPARE(got->status, status);
    QVERIFY2(got->errorText.contains(text), qPrintable(got->errorText));
    QCOMPARE(master.lastErrorText(), got->errorText);
    QCOMPARE(master.busy(), false);

    if (scenario == Scenario::Read)
        QCOMPARE(got->words, (QList<quint16> { 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007 }));
    if (scenario == Scenario::LateAnswerNotTaken)
        QCOMPARE(got->words, (QList<quint16> { 1100, 1101, 1102, 1103, 1104, 1105, 1106, 1107 }));
    if (scenario == Scenario::WriteOne || scenario == Scenario::WriteManyOfOne) {
        quint16 value = 0;
        QVERIFY(
            server.data(QModbusDataUnit::HoldingRegisters, scenario == Scenario::WriteOne ? 10 : 20, &value));
        QCOMPARE(value, scenario == Scenario::WriteOne ? quint16(4321) : quint16(7));
    }
    if (lost) {
        QTRY_COMPARE_WITH_TIMEOUT(lostSpy.size(), 1, kHangGuardMs);
        QVERIFY(!master.portOpen());
        QTest::qWait(200); // reported once: nothing follows
        QCOMPARE(lostSpy.size(), 1);
        // A request on the closed line is refused at once; opening again brings the line back.
        calls = 0;
        master.readRegisters(kSlave, 0, 8, &context, done);
        QVERIFY(waitOne());
        QCOMPARE(got->status, int(vm::StatusNotOpen));
        if (scenario == Scenario::ServerGoneMidPoll) {
            QVERIFY(server.connectDevice());
            QVERIFY(master.openPort(address, "9600,n,8,1"));
            calls = 0;
            master.readRegisters(kSlave, 0, 8, &context, done);
            QVERIFY(waitOne());
            QVERIFY2(got->ok(), qPrintable(got->errorText));
        }
    } else {
        QCOMPARE(lostSpy.size(), 0);
        QVERIFY(master.portOpen());
    }
    // Qt's server frees a connection's buffer only when it sees the client go.
    master.closePort();
    QTRY_VERIFY_WITH_TIMEOUT(server.findChildren<QTcpSocket*>().isEmpty(), kHangGuardMs);
}

void TstTcpModbusMaster::wrongAddressRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("a serial device") << "/dev/ttyUSB0";
    QTest::newRow("a raw TCP line") << "tcp://127.0.0.1:502";
    QTest::newRow("no port") << "mbtcp://127.0.0.1";
    QTest::newRow("port out of range") << "mbtcp://127.0.0.1:70000";
}

void TstTcpModbusMaster::wrongAddressRefused()
{
    QFETCH(QString, address);
    TcpModbusMaster master;
    QVERIFY(!master.openPort(address, "9600,n,8,1"));
    QVERIFY(!master.portOpen());
    QVERIFY2(master.lastErrorText().contains("mbtcp://HOST:PORT"), qPrintable(master.lastErrorText()));
}

QTEST_GUILESS_MAIN(TstTcpModbusMaster)
#include "tst_tcp_modbus_master.moc"
