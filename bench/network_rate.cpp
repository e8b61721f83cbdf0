// The line over the network, measured side by side in one run:
// - Modbus TCP: the single-sensor cycle polled flat out by the Modbus TCP master against Qt's TCP
//   server, and mbpoll -m tcp reading the same server back to back (one process, many requests);
// - RTU through ser2net in raw mode: the same request/answer exchanges with the simulated sensors,
//   on the pty itself and through ser2net in front of it (and in RFC 2217 mode), and the program's
//   RTU master polling the single-sensor cycle the same three ways.
#include "modbus/rtu_master.h"
#include "modbus/single_sensor_poller.h"
#include "modbus/tcp_modbus_master.h"
#include "serial/network_byte_link.h"
#include "serial/port_link.h"
#include "serial/qt_byte_link.h"
#include "sim_line_setup.h"
#include "stall_meter.h"
#include "support/ser2net_rig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusTcpServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

using velto::bench::cpuMs;
using velto::bench::kNsPerMs;
using velto::bench::StallMeter;

constexpr int kDefaultRequests = 500;
constexpr int kServerAddress = 1;
constexpr int kServerRegisters = 256;
constexpr int kHangGuardMs = 300000;
constexpr double kMsPerS = 1000.0;
constexpr int kMbpollAddresses = 100; // requests per mbpoll cycle, sent back to back
// Read Holding Registers from slave 1 of the simulated bus: the dynamic and static groups.
const QByteArray kDynamicRequest = QByteArray::fromHex("010300000008440c");
constexpr int kDynamicAnswerBytes = 5 + 2 * 8;

// The single-sensor cycle polled flat out: requests per second.
double pollCycle(velto::modbus::ModbusMaster& master, int requests, int& valid, double& cpu)
{
    velto::modbus::SingleSensorPoller poller(master);
    poller.setCurrentSlaveId(kServerAddress);
    QEventLoop loop;
    QObject::connect(
        &poller, &velto::modbus::SingleSensorPoller::countersChanged, &loop, [&](int polls, int, int) {
            if (polls >= requests)
                loop.quit();
            else
                QMetaObject::invokeMethod(
                    &poller, &velto::modbus::SingleSensorPoller::tick, Qt::QueuedConnection);
        });
    QTimer::singleShot(kHangGuardMs, &loop, &QEventLoop::quit);
    const double cpuBefore = cpuMs();
    QElapsedTimer wall;
    wall.start();
    QMetaObject::invokeMethod(&poller, &velto::modbus::SingleSensorPoller::tick, Qt::QueuedConnection);
    loop.exec();
    const double ms = wall.nsecsElapsed() / kNsPerMs;
    valid = poller.NumOfResponseOneDevice();
    cpu = (cpuMs() - cpuBefore) / std::max(1, poller.NumOfPollsOneDevice());
    return poller.NumOfPollsOneDevice() * kMsPerS / ms;
}

// mbpoll reads the static group kMbpollAddresses times: back-to-back
// requests in one process, so its start-up weighs little. Unit id 1 listed again and again: Qt's
// TCP server answers its own unit id only.
void runMbpoll(const QString& mbpoll, quint16 port, double ourRate)
{
    QEventLoop loop;
    QProcess process;
    const QStringList arguments { "-m", "tcp", "-p", QString::number(port), "-a",
        QStringList(kMbpollAddresses, QString::number(kServerAddress)).join(','), "-t", "4", "-r", "52", "-c",
        "16", "-1", "127.0.0.1" };
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kHangGuardMs, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    process.start(mbpoll, arguments);
    loop.exec();
    const double ms = wall.nsecsElapsed() / kNsPerMs;
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const int answered = int(out.count(QStringLiteral("[52]:")));
    const double rate = answered * kMsPerS / ms;
    std::printf("mbpoll -m tcp, %d requests in one process: requests/s=%.1f answered=%d/%d exit=%d\n",
        kMbpollAddresses, rate, answered, kMbpollAddresses, process.exitCode());
    std::printf("Modbus TCP master / mbpoll: %.2f\n", rate > 0 ? ourRate / rate : 0.0);
}

// Exchanges the dynamic-group request with the simulated sensor `count` times, each after the last
// answer is whole; milliseconds per exchange.
double exchangeCycleMs(velto::serial::ByteLink& link, int count, int& whole)
{
    QEventLoop loop;
    QByteArray answer;
    int done = 0;
    whole = 0;
    QObject::connect(&link, &velto::serial::ByteLink::readyRead, &loop, [&] {
        answer += link.readAll();
        if (answer.size() < kDynamicAnswerBytes)
            return;
        whole += answer.size() == kDynamicAnswerBytes ? 1 : 0;
        answer.clear();
        if (++done >= count)
            loop.quit();
        else
            link.write(kDynamicRequest);
    });
    QTimer::singleShot(kHangGuardMs, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    link.write(kDynamicRequest);
    loop.exec();
    QObject::disconnect(&link, &velto::serial::ByteLink::readyRead, &loop, nullptr);
    return done > 0 ? wall.nsecsElapsed() / kNsPerMs / done : 0;
}

void benchModbusTcp(int requests)
{
    QModbusTcpServer server;
    QModbusDataUnitMap map;
    map.insert(QModbusDataUnit::HoldingRegisters, { QModbusDataUnit::HoldingRegisters, 0, kServerRegisters });
    server.setMap(map);
    server.setServerAddress(kServerAddress);
    const quint16 port = velto::test::freeLoopbackPort();
    server.setConnectionParameter(QModbusDevice::NetworkAddressParameter, QStringLiteral("127.0.0.1"));
    server.setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
    if (!server.connectDevice()) {
        std::printf("Modbus TCP: server did not start (%s)\n", qPrintable(server.errorString()));
        return;
    }
    velto::modbus::TcpModbusMaster master;
    master.openPort(QStringLiteral("mbtcp://127.0.0.1:%1").arg(port), QString());
    int valid = 0;
    double cpu = 0;
    const double rate = pollCycle(master, requests, valid, cpu);
    std::printf(
        "Modbus TCP master, single-sensor cycle flat out: requests/s=%.1f cpu_ms/request=%.3f valid=%d/%d\n",
        rate, cpu, valid, requests);
    master.closePort();
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty())
        std::printf("mbpoll: skipped (not installed; Debian package mbpoll)\n");
    else
        runMbpoll(mbpoll, port, rate);
}

bool waitListening(const velto::test::Ser2netRig& server)
{
    QEventLoop starting;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &starting, [&] {
        if (server.listening())
            starting.quit();
    });
    check.start(10);
    QTimer::singleShot(kHangGuardMs, &starting, &QEventLoop::quit);
    starting.exec();
    return server.listening();
}

void benchSer2net(int exchanges)
{
    if (const QString why = velto::test::Ser2netRig::unavailableReason(); !why.isEmpty()) {
        std::printf("ser2net: skipped (%s)\n", qPrintable(why));
        return;
    }
    velto::sim::SimulatedLine line;
    int whole = 0;
    double direct = 0;
    {
        velto::serial::QtByteLink pty;
        if (!velto::bench::openOnSimLine(line, pty))
            return;
        direct = exchangeCycleMs(pty, exchanges, whole);
        std::printf("RTU exchange on the pty: cycle_ms=%.3f whole=%d/%d\n", direct, whole, exchanges);
    }
    for (const auto mode : { velto::test::Ser2netRig::Mode::Raw, velto::test::Ser2netRig::Mode::Rfc2217 }) {
        velto::test::Ser2netRig server;
        if (!server.start(line.devicePath(), mode) || !waitListening(server)) {
            std::printf("ser2net: %s\n", qPrintable(server.errorText()));
            return;
        }
        velto::serial::NetworkByteLink link;
        link.open(server.address(), velto::bench::kSimLineSettings);
        const double cycle = exchangeCycleMs(link, exchanges, whole);
        std::printf("RTU exchange through ser2net (%s): cycle_ms=%.3f whole=%d/%d ratio_to_pty=%.3f\n",
            qPrintable(server.address().section(':', 0, 0)), cycle, whole, exchanges,
            direct > 0 ? cycle / direct : 0);
        link.close();
    }
}

// The RTU master's cycle on `address` (a pty path or a ser2net address): milliseconds per request.
double rtuCycleMs(const QString& address, int requests, const char* name)
{
    velto::serial::PortLink link;
    velto::modbus::RtuMaster master(link);
    if (!master.openPort(address, velto::bench::kSimLineSettings)) {
        std::printf("RTU master, %s: cannot open (%s)\n", name, qPrintable(master.lastErrorText()));
        return 0;
    }
    int valid = 0;
    double cpu = 0;
    const double rate = pollCycle(master, requests, valid, cpu);
    master.closePort();
    const double cycle = rate > 0 ? kMsPerS / rate : 0;
    std::printf("RTU master, single-sensor cycle, %s: cycle_ms=%.3f cpu_ms/request=%.3f valid=%d/%d\n", name,
        cycle, cpu, valid, requests);
    return cycle;
}

// The RTU master polling the simulated sensor on the pty, then through ser2net raw and RFC 2217 in
// front of that pty.
void benchRtuOverSer2net(int requests)
{
    if (!velto::test::Ser2netRig::unavailableReason().isEmpty())
        return;
    velto::sim::SimulatedLine line;
    if (!velto::bench::simLineReady(line))
        return;
    const double direct = rtuCycleMs(line.devicePath(), requests, "on the pty");
    for (const auto mode : { velto::test::Ser2netRig::Mode::Raw, velto::test::Ser2netRig::Mode::Rfc2217 }) {
        velto::test::Ser2netRig server;
        if (!server.start(line.devicePath(), mode) || !waitListening(server)) {
            std::printf("ser2net: %s\n", qPrintable(server.errorText()));
            return;
        }
        const QByteArray name
            = QStringLiteral("through ser2net (%1)").arg(server.address().section(':', 0, 0)).toUtf8();
        const double cycle = rtuCycleMs(server.address(), requests, name.constData());
        std::printf("RTU master through ser2net (%s) / on the pty: %.3f\n",
            qPrintable(server.address().section(':', 0, 0)), direct > 0 ? cycle / direct : 0);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : kDefaultRequests;
    std::printf("network_rate: %d requests or exchanges per case, peers in this process\n", requests);
    benchModbusTcp(requests);
    benchSer2net(requests);
    benchRtuOverSer2net(requests);
    std::fflush(stdout);
    return 0;
}
