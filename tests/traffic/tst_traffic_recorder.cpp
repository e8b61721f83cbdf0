#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"
#include "sim/simulated_line.h"
#include "support/fake_byte_link.h"
#include "support/pty_pair.h"
#include "support/rtu_server.h"
#include "support/scripted_rtu_peer.h"
#include "support/serial_rtu_master.h"
#include "traffic/traffic_recorder.h"
#include "veltoproto/request_frame.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto;
using namespace velto::traffic;

namespace {

constexpr int kHangGuardMs = 20000;
// Answers are awaited patiently; only the reads that expect a time-out wait briefly.
constexpr int kPatientRxMs = 5000;
constexpr int kRxTimeoutMs = 300;
constexpr int kServerAddress = 1;
constexpr int kMapSize = 10;

// Every row the recorder hands on, as "DIR Protocol: summary" and the rows themselves.
class RowLog : public QObject {
public:
    explicit RowLog(TrafficRecorder& recorder)
    {
        connect(
            &recorder, &TrafficRecorder::rowRecorded, this, [this](const TrafficRow& r) { rows.append(r); });
    }
    QList<TrafficRow> rows;

    QStringList lines(Protocol only) const
    {
        QStringList out;
        for (const TrafficRow& r : rows) {
            if (r.protocol == only)
                out << QStringLiteral("%1 %2").arg(directionName(r.direction), r.summary);
        }
        return out;
    }
    QList<TrafficRow> of(Protocol only) const
    {
        QList<TrafficRow> out;
        for (const TrafficRow& r : rows) {
            if (r.protocol == only)
                out << r;
        }
        return out;
    }
};

// The master's one request, waited for.
modbus::ModbusResult readBlock(modbus::ModbusMaster& master, int slave, int start, int count)
{
    std::optional<modbus::ModbusResult> got;
    QObject context;
    master.readRegisters(slave, start, count, &context, [&got](const modbus::ModbusResult& r) { got = r; });
    (void)QTest::qWaitFor([&got] { return got.has_value(); }, kHangGuardMs);
    return got.value_or(modbus::ModbusResult { -1, {}, QStringLiteral("hung") });
}

} // namespace

class TstTrafficRecorder : public QObject {
    Q_OBJECT
private slots:
    // Against Qt's own RTU server over a real line: the bytes of a read, an exception and a
    // time-out as they were on the wire, and each failed request as a row of its own.
    void modbusAgainstQtServer()
    {
        test::PtyBridge bridge;
        QVERIFY(bridge.isValid());
        auto server = test::startRtuServer(bridge.pathB(), kServerAddress, kMapSize);
        QVERIFY(server);
        QVERIFY(server->setData(QModbusDataUnit::HoldingRegisters, 1, 4242));

        test::SerialRtuMaster master;
        master.setRxTimeout(kPatientRxMs);
        TrafficRecorder recorder(SystemClock::instance());
        RowLog log(recorder);
        recorder.watchLine(master.tappedLine());
        recorder.watchModbus(master);
        recorder.setRecording(true);
        QVERIFY(master.openPort(bridge.pathA(), "9600,n,8,1"));

        QVERIFY(readBlock(master, kServerAddress, 0, 3).ok());
        QTRY_COMPARE_WITH_TIMEOUT(log.of(Protocol::ModbusRtu).size(), 2, kHangGuardMs);
        QCOMPARE(log.lines(Protocol::ModbusRtu),
            (QStringList { "TX slave 1: read holding registers R0..R2 (3), CRC ok",
                "RX slave 1: R0..R2 = 0, 4242, 0, CRC ok" }));
        QCOMPARE(log.of(Protocol::ModbusRtu)[0].bytes, QByteArray::fromHex("01030000000305cb"));

        log.rows.clear();
        QCOMPARE(readBlock(master, kServerAddress, 20, 3).status, modbus::StatusExceptionBase + 2);
        QCOMPARE(log.lines(Protocol::ModbusRtu),
            (QStringList { "TX slave 1: read holding registers R20..R22 (3), CRC ok",
                "RX slave 1: exception Illegal Data Address (exception 2) to function 3, CRC ok",
                "-- Illegal Data Address (exception 2)" }));
        QVERIFY(log.of(Protocol::ModbusRtu)[2].failure);

        log.rows.clear();
        master.setRxTimeout(kRxTimeoutMs);
        QCOMPARE(readBlock(master, 7, 0, 3).status, int(modbus::StatusTimeout));
        master.setRxTimeout(kPatientRxMs);
        QCOMPARE(log.lines(Protocol::ModbusRtu),
            (QStringList { "TX slave 7: read holding registers R0..R2 (3), CRC ok",
                QStringLiteral("-- Time-out: no response from slave 7 within %1 ms").arg(kRxTimeoutMs) }));

        // Stopped: nothing more is recorded.
        recorder.setRecording(false);
        log.rows.clear();
        QVERIFY(readBlock(master, kServerAddress, 0, 1).ok());
        QVERIFY(log.rows.isEmpty());
    }

    // The simulated sensors over a pseudo-terminal: a read of sensor 1 and a time-out of an
    // address nobody has.
    void modbusAgainstSimulatedSensors()
    {
        sim::SimulatedLine line;
        QVERIFY(line.isValid());
        test::SerialRtuMaster master;
        master.setRxTimeout(kPatientRxMs);
        TrafficRecorder recorder(SystemClock::instance());
        RowLog log(recorder);
        recorder.setRecording(true);
        recorder.watchLine(master.tappedLine());
        recorder.watchModbus(master);
        QVERIFY(master.openPort(line.devicePath(), "9600,n,8,1"));

        const modbus::ModbusResult read = readBlock(master, 1, 0, 2);
        QVERIFY(read.ok());
        QStringList lines = log.lines(Protocol::ModbusRtu);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1],
            QStringLiteral("RX slave 1: R0..R1 = %1, %2, CRC ok").arg(read.words[0]).arg(read.words[1]));

        log.rows.clear();
        master.setRxTimeout(kRxTimeoutMs);
        QCOMPARE(readBlock(master, 9, 0, 2).status, int(modbus::StatusTimeout));
        lines = log.lines(Protocol::ModbusRtu);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].startsWith("-- Time-out: no response from slave 9"));
    }

    // What the master drops is shown for what it is: a late answer as stray, our own request coming
    // back as echo, skipped or not.
    void modbusStrayAndEcho_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("row"); // the row the fault's bytes make
        QTest::newRow("late answer") << "late"
                                     << "RX stray: no answer is due, dropped";
        QTest::newRow("echo, Remove echo off") << "echo"
                                               << "RX our own frame came back (echo; Remove echo is off)";
        QTest::newRow("echo, Remove echo on") << "echo removed"
                                              << "RX echo of what was sent, skipped";
    }
    void modbusStrayAndEcho()
    {
        QFETCH(QString, fault);
        QFETCH(QString, row);
        test::ScriptedRtuPeer peer(kServerAddress);
        QVERIFY(peer.isValid());
        peer.echo = fault.startsWith("echo");
        if (fault == "late")
            peer.script << test::ScriptedRtuPeer::Answer { kRxTimeoutMs + kRxTimeoutMs / 2 };
        test::SerialRtuMaster master;
        master.setRxTimeout(kRxTimeoutMs);
        QVERIFY(master.line()->setRemoveEcho(fault == "echo removed"));
        TrafficRecorder recorder(SystemClock::instance());
        RowLog log(recorder);
        recorder.setRecording(true);
        recorder.watchLine(master.tappedLine());
        recorder.watchModbus(master);
        QVERIFY(master.openPort(peer.devicePath(), "9600,n,8,1"));
        QSignalSpy answered(&peer, &test::ScriptedRtuPeer::answered);

        const modbus::ModbusResult result = readBlock(master, kServerAddress, 0, 2);
        QCOMPARE(result.ok(), fault == "echo removed");
        QTRY_VERIFY_WITH_TIMEOUT(!answered.isEmpty(), kHangGuardMs);
        QTRY_VERIFY_WITH_TIMEOUT(log.lines(Protocol::ModbusRtu).contains(row), kHangGuardMs);
        // Only a good answer is shown as one.
        const QStringList lines = log.lines(Protocol::ModbusRtu);
        const bool answerShown = std::any_of(lines.begin(), lines.end(),
            [](const QString& line) { return line.startsWith("RX slave 1: R0..R1 = "); });
        QCOMPARE(answerShown, result.ok());
    }

    // A Velto ASCII exchange with the simulated single sensor, through the tap on a real port.
    void veltoAsciiThroughTheTap()
    {
        sim::SimulatedLine line;
        QVERIFY(line.isValid());
        serial::QtByteLink port;
        serial::TappedByteLink link(port);
        TrafficRecorder recorder(SystemClock::instance());
        RowLog log(recorder);
        recorder.watchLine(link);
        recorder.setRecording(true);
        QVERIFY(link.open(line.devicePath(), "9600,n,8,1"));

        const QByteArray request = *veltoproto::buildRequestFrame(
            sim::SensorSimulator::kAsciiSingleAddress, false, veltoproto::VeltoCommand::Level);
        QVERIFY(link.write(request));
        QTRY_COMPARE_WITH_TIMEOUT(log.of(Protocol::VeltoAscii).size(), 2, kHangGuardMs);
        const QList<TrafficRow> rows = log.of(Protocol::VeltoAscii);
        QCOMPARE(rows[0].direction, Direction::Tx);
        QCOMPARE(rows[0].bytes, request);
        QCOMPARE(rows[0].summary, QString("request level (09) of address 10, sensor digit 0"));
        QCOMPARE(rows[1].direction, Direction::Rx);
        QVERIFY2(rows[1].summary.startsWith("level (09) = "), qPrintable(rows[1].summary));
        QVERIFY(rows[1].summary.endsWith(", single sensor, checksum ok"));
        QVERIFY(rows[1].gapMs >= 0);
        QVERIFY(rows[1].sinceConnectMs >= rows[0].sinceConnectMs);
        // The protocol above still gets every byte.
        QCOMPARE(link.readAll(), rows[1].bytes);

        // The port's own events are rows too.
        link.close();
        QCOMPARE(log.rows.last().summary, QStringLiteral("Port %1 closed").arg(line.devicePath()));
    }

    // The tap hands every byte on unchanged and passes the wrapped link's signals through.
    void tapIsTransparent()
    {
        test::FakeByteLink fake;
        serial::TappedByteLink link(fake);
        QSignalSpy ready(&link, &serial::ByteLink::readyRead);
        QSignalSpy received(&link, &serial::TappedByteLink::received);
        QSignalSpy closed(&link, &serial::ByteLink::closed);
        QSignalSpy errors(&link, &serial::ByteLink::errorOccurred);
        QSignalSpy refused(&link, &serial::TappedByteLink::sendFailed);
        QSignalSpy events(&link, &serial::TappedByteLink::lineEvent);

        QVERIFY(!link.write("x")); // not open
        QCOMPARE(refused.size(), 1);
        fake.failOpen = true;
        QVERIFY(!link.open("/dev/ttyX", "9600,n,8,1"));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0][1].toBool(), true);
        fake.failOpen = false;
        QVERIFY(link.open("/dev/ttyX", "9600,n,8,1"));
        QCOMPARE(events[1][0].toString(), QString("Port /dev/ttyX opened at 9600,n,8,1"));

        QVERIFY(link.write("abc"));
        QCOMPARE(fake.written, QList<QByteArray> { "abc" });
        fake.receive("12");
        fake.receive("34");
        QCOMPARE(ready.size(), 2);
        QCOMPARE(received.size(), 2);
        QCOMPARE(link.bytesAvailable(), 4);
        QCOMPARE(link.readAll(), QByteArray("1234"));
        fake.receive("56");
        link.clearInput();
        QCOMPARE(link.bytesAvailable(), 0);
        QCOMPARE(link.readAll(), QByteArray());

        emit fake.errorOccurred("Framing Error");
        QCOMPARE(errors.size(), 1);
        link.close();
        QCOMPARE(closed.size(), 1);
        QVERIFY(!link.isOpen());
    }

    // Bytes that have not made a frame become a row once the line has been quiet, on their own.
    void quietLineFlushesPartialFrames()
    {
        test::FakeByteLink fake;
        serial::TappedByteLink link(fake);
        TrafficRecorder recorder(SystemClock::instance());
        RowLog log(recorder);
        recorder.watchLine(link);
        QVERIFY(link.open("/dev/ttyX", "9600,n,8,1"));
        fake.receive("ignored while not recording");
        QVERIFY(log.rows.isEmpty());

        recorder.setRecording(true);
        QVERIFY(link.write("!011202010007\r"));
        fake.receive("!0112");
        QCOMPARE(log.of(Protocol::VeltoAscii).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(log.of(Protocol::VeltoAscii).size(), 3, kHangGuardMs);
        QCOMPARE(log.of(Protocol::VeltoAscii)[1].bytes, QByteArray("!0112"));
        QVERIFY(log.of(Protocol::VeltoAscii)[2].failure);
    }
};

QTEST_GUILESS_MAIN(TstTrafficRecorder)
#include "tst_traffic_recorder.moc"
