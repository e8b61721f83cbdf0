#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "sim/velto_ascii.h"
#include "support/modbus_outcome.h"

#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace velto::sim;

namespace {

constexpr int kReplyWaitMs = 3000;

using Outcome = velto::test::ModbusOutcome;

std::unique_ptr<QModbusRtuSerialClient> connectClient(const QString& path, int timeoutMs = 1000)
{
    auto client = std::make_unique<QModbusRtuSerialClient>();
    client->setConnectionParameter(QModbusDevice::SerialPortNameParameter, path);
    client->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, QSerialPort::Baud115200);
    client->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    client->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    client->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    client->setTimeout(timeoutMs);
    client->setNumberOfRetries(0);
    if (!client->connectDevice() || client->state() != QModbusDevice::ConnectedState)
        return nullptr;
    return client;
}

Outcome finish(QModbusReply* reply)
{
    return velto::test::modbusOutcome(reply, kReplyWaitMs);
}

Outcome read(QModbusClient& client, int address, int start, int count)
{
    return finish(client.sendReadRequest(
        QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, quint16(count)), address));
}

Outcome write(QModbusClient& client, int address, int start, const QList<quint16>& values)
{
    return finish(
        client.sendWriteRequest(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, values), address));
}

// Reads from an open port until a carriage return ends what has arrived.
QByteArray readAsciiReply(QSerialPort& port)
{
    QByteArray got;
    QSignalSpy ready(&port, &QSerialPort::readyRead);
    while (!got.endsWith('\r')) {
        if (port.bytesAvailable() == 0 && !ready.wait(kReplyWaitMs))
            break;
        got += port.readAll();
    }
    return got;
}

} // namespace

class TestSimulatedLine : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_clock = std::make_unique<ManualClock>(0);
        m_line = std::make_unique<SimulatedLine>(*m_clock);
        QVERIFY2(m_line->isValid(), qPrintable(m_line->errorText()));
        QVERIFY(m_line->devicePath().startsWith(QLatin1String("/dev/")));
    }

    void cleanup()
    {
        // The client goes before the line so it never sees the far end vanish.
        m_client.reset();
        m_line.reset();
    }

    void everyGroupOfEverySensor()
    {
        m_client = connectClient(m_line->devicePath());
        QVERIFY(m_client);
        for (qint64 ms : { 0LL, 95'000LL, 400'000LL }) {
            m_clock->setMs(ms);
            for (int address = 1; address <= 5; ++address) {
                const Outcome statics = read(*m_client, address, 51, 16);
                const Outcome dynamic = read(*m_client, address, 0, 8);
                const Outcome info = read(*m_client, address, 192, 5);
                QCOMPARE(statics.error, QModbusDevice::NoError);
                QCOMPARE(dynamic.error, QModbusDevice::NoError);
                QCOMPARE(info.error, QModbusDevice::NoError);
                QCOMPARE(statics.values.size(), 16);
                QCOMPARE(dynamic.values.size(), 8);
                QCOMPARE(info.values.size(), 5);

                QCOMPARE(int(dynamic.values[0]), address);
                QVERIFY(qAbs(int(dynamic.values[1]) + int(dynamic.values[2]) - int(statics.values[0])) <= 1);
                QVERIFY(qint16(dynamic.values[3]) > -4000 && qint16(dynamic.values[3]) < 8000);
                QCOMPARE(dynamic.values[4] & ~0x3Fu, 0u);
                QCOMPARE(dynamic.values[5] & ~0x1Fu, 0u);
                QVERIFY(QList<quint16>({ 0, 1, 3, 5, 6 }).contains(statics.values[56 - 51]));
                QVERIFY(statics.values[58 - 51] <= 4);
                QVERIFY(info.values[0] <= 1);
                QVERIFY(info.values[2] > 0);
            }
        }
    }

    void writeThenReadBack()
    {
        m_client = connectClient(m_line->devicePath());
        QVERIFY(m_client);
        QCOMPARE(write(*m_client, 2, 51, { 500 }).error, QModbusDevice::NoError);
        QCOMPARE(read(*m_client, 2, 51, 1).values, QList<quint16>({ 500 }));

        const QList<quint16> block { 10000, 1000, 0, 9000, 0, 0, 300, 0 };
        QCOMPARE(write(*m_client, 5, 51, block).error, QModbusDevice::NoError);
        QCOMPARE(read(*m_client, 5, 51, 8).values, block);
        // Distance mode in metres now: distance + level is the new tank height.
        const Outcome dynamic = read(*m_client, 5, 0, 8);
        QCOMPARE(int(dynamic.values[1]) + int(dynamic.values[2]), 10000);
    }

    void exceptionsAndSilence()
    {
        m_client = connectClient(m_line->devicePath(), 300);
        QVERIFY(m_client);
        const Outcome badAddress = write(*m_client, 1, 63, { 1 });
        QCOMPARE(badAddress.error, QModbusDevice::ProtocolError);
        QCOMPARE(badAddress.exception, int(QModbusPdu::IllegalDataAddress));

        const Outcome beyond = read(*m_client, 3, 190, 10);
        QCOMPARE(beyond.exception, int(QModbusPdu::IllegalDataAddress));

        const QModbusRequest probe(QModbusPdu::FunctionCode(0x41), QByteArray::fromHex("003300050101010000"));
        const Outcome badFunction = finish(m_client->sendRawRequest(probe, 1));
        QCOMPARE(badFunction.error, QModbusDevice::ProtocolError);
        QCOMPARE(badFunction.exception, int(QModbusPdu::IllegalFunction));

        QCOMPARE(read(*m_client, 7, 0, 8).error, QModbusDevice::TimeoutError);
        // The bus is still in step after the silence.
        QCOMPARE(read(*m_client, 1, 0, 1).values, QList<quint16>({ 1 }));
    }

    void menuSensorIsBusy()
    {
        m_client = connectClient(m_line->devicePath());
        QVERIFY(m_client);
        QVERIFY(m_line->setInMenu(3, true));
        const Outcome busy = write(*m_client, 3, 51, { 1200 });
        QCOMPARE(busy.error, QModbusDevice::ProtocolError);
        QCOMPARE(busy.exception, int(QModbusPdu::ServerDeviceBusy));
        QVERIFY(read(*m_client, 3, 4, 1).values.value(0) & 0x20);

        // Out of the menu from the master's side, then back in.
        QCOMPARE(write(*m_client, 3, 58, { kMenuToggleValue }).error, QModbusDevice::NoError);
        QCOMPARE(write(*m_client, 3, 51, { 1200 }).error, QModbusDevice::NoError);
        QCOMPARE(write(*m_client, 3, 58, { kMenuToggleValue }).error, QModbusDevice::NoError);
        QCOMPARE(write(*m_client, 3, 51, { 1300 }).exception, int(QModbusPdu::ServerDeviceBusy));
        QCOMPARE(read(*m_client, 3, 51, 1).values, QList<quint16>({ 1200 }));
    }

    void lineSurvivesReopening()
    {
        for (int round = 0; round < 3; ++round) {
            auto client = connectClient(m_line->devicePath());
            QVERIFY(client);
            QCOMPARE(read(*client, 4, 0, 1).values, QList<quint16>({ 4 }));
            client->disconnectDevice();
        }
    }

    void asciiRepliesOnTheSameLine()
    {
        QSerialPort port(m_line->devicePath());
        QVERIFY(port.open(QIODevice::ReadWrite));

        // Sensor 1 at the start of time: level 4234 mm of 6000, status O.K.
        port.write(buildVeltoRequest({ 10, 0, 1, 0 }));
        QCOMPARE(readAsciiReply(port), QByteArray("!10020601001766030\r"));

        m_clock->setMs(42'000);
        for (int digit : { 0, 1 }) {
            port.write(buildVeltoRequest({ 20, digit, 9, 0 }));
            const QByteArray reply = readAsciiReply(port);
            QCOMPARE(reply.size(), 20);
            QCOMPARE(reply[3], char('0' + digit));
            QCOMPARE(reply[16], '8');
            QCOMPARE(veltoDigitSum(reply.sliced(1, 16)), reply.sliced(17, 2).toInt());
        }

        // Noise and a stray Modbus frame first; the request after them is still answered.
        port.write(QByteArray::fromHex("00ff2131fe0103"));
        port.write(buildVeltoRequest({ 10, 1, 4, 0 }));
        const QByteArray temperature = readAsciiReply(port);
        QCOMPARE(temperature.size(), 16);
        QCOMPARE(temperature.left(9), QByteArray("!10020304"));

        // A bad checksum gets no answer, so the next reply is the next request's.
        port.write("!100202010016\r");
        port.write(buildVeltoRequest({ 10, 0, 6, 0 }));
        // 42 s in, sensor 1 is near the top of its swing: status Full.
        QCOMPARE(readAsciiReply(port), QByteArray("!10020606006000122\r"));
    }

    void aBurnGivenUpEndsWhenThePortIsOpenedAgain()
    {
        QSerialPort port(m_line->devicePath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        port.write(">B0");
        QTRY_COMPARE_WITH_TIMEOUT(port.bytesAvailable(), 2, kReplyWaitMs);
        QCOMPARE(port.readAll(), QByteArray("<\xB7"));
        QVERIFY(m_line->simulator().bootloader().ownsLine());
        port.close();
        // Opened as the program opens a port: whatever waited in its input is cleared.
        QVERIFY(port.open(QIODevice::ReadWrite));
        QVERIFY(port.clear(QSerialPort::Input));
        QTRY_VERIFY_WITH_TIMEOUT(!m_line->simulator().bootloader().ownsLine(), kReplyWaitMs);
        // The sensors have the line again, not the bootloader with ":A0".
        port.write(buildVeltoRequest({ 10, 0, 1, 0 }));
        QCOMPARE(readAsciiReply(port), QByteArray("!10020601001766030\r"));
    }

private:
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<SimulatedLine> m_line;
    std::unique_ptr<QModbusRtuSerialClient> m_client;
};

QTEST_GUILESS_MAIN(TestSimulatedLine)
#include "tst_simulated_line.moc"
