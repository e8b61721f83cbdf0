// The simulated sensors joined to the program inside it, as on a system without pseudo-terminals:
// the program's own protocol clients, on the port links layered as the program layers them, get
// their answers from the simulator, and the in-process line behaves as a port when it is closed,
// cleared, reopened or goes away.
#include "app/simulated_lines.h"
#include "modbus/rtu_master.h"
#include "radar/radar_frame.h"
#include "radar/radar_link.h"
#include "radar/status_reply.h"
#include "serial/in_process_wire.h"
#include "serial/port_link.h"
#include "serial/tapped_byte_link.h"
#include "veltoproto/reply_unpacker.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using namespace velto;

namespace {

// 1200 baud: a 13-byte radar status reply needs 108 ms on the line.
const QString kSettings = QStringLiteral("1200,n,8,1");
constexpr int kWaitMs = 5000;
constexpr int kRadarRxMs = 600;
constexpr int kAsciiAddress = sim::SensorSimulator::kAsciiSingleAddress;
constexpr int kModbusAddress = 1;

enum class Protocol { Velto, Modbus, Radar };
enum class Before {
    Nothing,
    Closed, // opened, then closed again
    ClearWaitingReply, // a reply waits unread, clearInput() drops it
    Reopened, // closed with a reply waiting unread, opened again
    LineGone, // the simulated line is destroyed under the open port
    EchoRemoved, // the line echoes every byte, Remove echo is on
};

struct Outcome {
    bool sent = false;
    bool answered = false;
    QString detail;
};

// The program's layering: a PortLink picks the link by the location, a TappedByteLink over it; the
// Modbus master on its own pair, as the two users of the line never share one.
struct Rig {
    std::unique_ptr<app::SimulatedLines> lines
        = std::make_unique<app::SimulatedLines>(app::SimulatedLines::Join::InProcess);
    QString location = lines->sensorsLocation();
    serial::PortLink port;
    serial::TappedByteLink link { port };
    serial::PortLink modbusPort;
    serial::TappedByteLink modbusLine { modbusPort };
    modbus::RtuMaster master { modbusLine };
    QTimer timerRx;

    serial::ByteLink& lineOf(Protocol protocol) { return protocol == Protocol::Modbus ? modbusLine : link; }
    bool open(Protocol protocol)
    {
        if (protocol == Protocol::Modbus)
            return master.openPort(location, kSettings);
        return link.open(location, kSettings);
    }
    void close(Protocol protocol)
    {
        if (protocol == Protocol::Modbus)
            master.closePort();
        else
            link.close();
    }

    Outcome exchange(Protocol protocol)
    {
        switch (protocol) {
        case Protocol::Velto:
            return veltoExchange();
        case Protocol::Modbus:
            return modbusExchange();
        case Protocol::Radar:
            return radarExchange();
        }
        return {};
    }

    bool sendVeltoRequest()
    {
        return link.write(
            *veltoproto::buildRequestFrame(kAsciiAddress, false, veltoproto::VeltoCommand::Distance));
    }

    Outcome veltoExchange()
    {
        Outcome out;
        out.sent = sendVeltoRequest();
        if (!out.sent)
            return out;
        QByteArray reply;
        QSignalSpy ready(&link, &serial::ByteLink::readyRead);
        while (!reply.endsWith('\r')) {
            if (link.bytesAvailable() == 0 && !ready.wait(kWaitMs))
                break;
            reply += link.readAll();
        }
        const auto fields = veltoproto::parseVeltoReply(reply);
        out.answered = fields && fields->commandCode == int(veltoproto::VeltoCommand::Distance);
        out.detail = QString::fromLatin1(reply.toHex(' '));
        return out;
    }

    Outcome modbusExchange()
    {
        std::optional<modbus::ModbusResult> result;
        master.readRegisters(
            kModbusAddress, 0, 8, nullptr, [&result](const modbus::ModbusResult& r) { result = r; });
        if (!QTest::qWaitFor([&result] { return result.has_value(); }, kWaitMs))
            return { true, false, QStringLiteral("no result") };
        return { result->status != modbus::StatusNotOpen,
            result->ok() && result->words.size() == 8 && result->words[0] == kModbusAddress,
            result->errorText };
    }

    Outcome radarExchange()
    {
        // Made here: the radar's link reads everything that arrives, a Velto reply too.
        radar::RadarLink radarLink(link, timerRx, SystemClock::instance());
        radarLink.setLineSettings(kSettings);
        QSignalSpy due(&radarLink, &radar::RadarLink::replyDue);
        QSignalSpy arrived(&link, &serial::TappedByteLink::received);
        QElapsedTimer sinceSend;
        qint64 lastByteMs = -1;
        QObject::connect(&link, &serial::TappedByteLink::received, &link,
            [&sinceSend, &lastByteMs] { lastByteMs = sinceSend.elapsed(); });
        sinceSend.start();
        Outcome out;
        out.sent = radarLink.send(radar::buildRadarFrame(radar::RadarCommand::SendStatus, {}, 0), kRadarRxMs);
        if (!due.wait(kWaitMs))
            return out;
        const radar::StatusReply reply
            = radar::judgeStatusReply(due.first().first().toByteArray(), radar::RadarCommand::SendStatus);
        // The reply is paced at the port's 120 characters a second: it cannot all be there at once.
        constexpr qint64 kPacedAtLeastMs = 90;
        out.answered = reply.accepted() && arrived.size() > 1 && lastByteMs >= kPacedAtLeastMs;
        out.detail = QStringLiteral("%1 in %2 chunks, last after %3 ms")
                         .arg(reply.logText)
                         .arg(arrived.size())
                         .arg(lastByteMs);
        return out;
    }
};

} // namespace

Q_DECLARE_METATYPE(Protocol)
Q_DECLARE_METATYPE(Before)

class TstInProcessSimulator : public QObject {
    Q_OBJECT
private slots:
    void exchange_data();
    void exchange();
};

void TstInProcessSimulator::exchange_data()
{
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<Before>("before");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("answered");

    QTest::newRow("Velto ASCII") << Protocol::Velto << Before::Nothing << true << true;
    QTest::newRow("Modbus RTU read") << Protocol::Modbus << Before::Nothing << true << true;
    QTest::newRow("radar status, paced") << Protocol::Radar << Before::Nothing << true << true;
    QTest::newRow("write while closed") << Protocol::Velto << Before::Closed << false << false;
    QTest::newRow("Modbus while closed") << Protocol::Modbus << Before::Closed << false << false;
    QTest::newRow("clearInput drops a waiting reply")
        << Protocol::Velto << Before::ClearWaitingReply << true << true;
    QTest::newRow("reopened, the reply left behind dropped")
        << Protocol::Velto << Before::Reopened << true << true;
    QTest::newRow("Modbus reopened") << Protocol::Modbus << Before::Reopened << true << true;
    QTest::newRow("line gone") << Protocol::Modbus << Before::LineGone << false << false;
    QTest::newRow("echoing line, Remove echo on") << Protocol::Modbus << Before::EchoRemoved << true << true;
}

void TstInProcessSimulator::exchange()
{
    QFETCH(Protocol, protocol);
    QFETCH(Before, before);
    QFETCH(bool, sent);
    QFETCH(bool, answered);

    Rig rig;
    QVERIFY(serial::InProcessWire::looksLikeOne(rig.location));
    QVERIFY2(rig.open(protocol), qPrintable(rig.lineOf(protocol).errorText()));
    serial::ByteLink& line = rig.lineOf(protocol);
    QSignalSpy lost(&line, &serial::ByteLink::lineLost);

    switch (before) {
    case Before::Nothing:
        break;
    case Before::Closed:
        rig.close(protocol);
        QVERIFY(!line.isOpen());
        break;
    case Before::ClearWaitingReply:
        QVERIFY(rig.sendVeltoRequest());
        QTRY_VERIFY_WITH_TIMEOUT(line.bytesAvailable() > 0, kWaitMs);
        line.clearInput();
        QCOMPARE(line.bytesAvailable(), 0);
        QVERIFY(line.readAll().isEmpty());
        break;
    case Before::Reopened:
        if (protocol == Protocol::Velto) {
            QVERIFY(rig.sendVeltoRequest());
            QTRY_VERIFY_WITH_TIMEOUT(line.bytesAvailable() > 0, kWaitMs);
        }
        rig.close(protocol);
        QVERIFY(rig.open(protocol));
        QCOMPARE(line.bytesAvailable(), 0);
        break;
    case Before::LineGone:
        rig.lines.reset();
        QVERIFY(lost.wait(kWaitMs));
        QVERIFY(!line.isOpen());
        break;
    case Before::EchoRemoved:
        rig.lines->sensors()->setFaults({ .echo = true });
        QVERIFY(line.setRemoveEcho(true));
        break;
    }

    const Outcome outcome = rig.exchange(protocol);
    QVERIFY2(outcome.sent == sent, qPrintable(outcome.detail));
    QVERIFY2(outcome.answered == answered, qPrintable(outcome.detail));
    QCOMPARE(lost.size(), before == Before::LineGone ? 1 : 0);
}

QTEST_GUILESS_MAIN(TstInProcessSimulator)
#include "tst_in_process_simulator.moc"
