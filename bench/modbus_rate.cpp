// Requests per second, CPU time per request and the longest event-loop stall of the single-sensor
// poller driven as fast as it completes, over pseudo-terminals: against the simulated bus, against
// Qt's RTU server behind a pty bridge, and against a silent address.
#include "modbus/qt_modbus_master.h"
#include "modbus/single_sensor_poller.h"
#include "sim/simulated_line.h"
#include "stall_meter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusRtuSerialServer>
#include <QProcess>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

using velto::bench::cpuMs;
using velto::bench::kNsPerMs;
using velto::bench::StallMeter;
using velto::modbus::QtModbusMaster;
using velto::modbus::SingleSensorPoller;

constexpr int kDefaultRequests = 300;
constexpr int kBaud = 9600;
const QString kLineSettings = QStringLiteral("9600,n,8,1");
constexpr int kSimSlave = 1;
constexpr int kServerAddress = 1;
constexpr int kServerRegisters = 256; // covers the groups at 0, 51 and 192
constexpr int kSilentSlave = 7; // nobody answers there on the simulated bus
constexpr int kSilentRequests = 3;
constexpr int kSilentRxTimeoutMs = 1000;
constexpr int kHangGuardMs = 300000;
constexpr int kMbpollRuns = 20;
constexpr double kMsPerS = 1000.0;

struct Figures {
    int polls = 0;
    int valid = 0;
    int timeouts = 0;
    double wallMs = 0;
    double cpuMs = 0;
    double longestStallMs = 0;
};

// Ticks the poller again as soon as each request finished, until `requests` are done.
Figures pollFlatOut(velto::modbus::ModbusMaster& master, int slave, int requests)
{
    SingleSensorPoller poller(master);
    poller.setCurrentSlaveId(slave);
    QEventLoop loop;
    QObject::connect(&poller, &SingleSensorPoller::countersChanged, &loop, [&](int polls, int, int) {
        if (polls >= requests)
            loop.quit();
        else
            QMetaObject::invokeMethod(&poller, &SingleSensorPoller::tick, Qt::QueuedConnection);
    });
    QTimer::singleShot(kHangGuardMs, &loop, &QEventLoop::quit);

    StallMeter stalls;
    stalls.start();
    const double cpuBefore = cpuMs();
    QElapsedTimer wall;
    wall.start();
    QMetaObject::invokeMethod(&poller, &SingleSensorPoller::tick, Qt::QueuedConnection);
    loop.exec();

    Figures f;
    f.wallMs = wall.nsecsElapsed() / kNsPerMs;
    f.cpuMs = cpuMs() - cpuBefore;
    f.longestStallMs = stalls.stopAndLongestMs();
    f.polls = poller.NumOfPollsOneDevice();
    f.valid = poller.NumOfResponseOneDevice();
    f.timeouts = poller.TimeoutCoubter();
    return f;
}

void printRate(const char* name, const Figures& f)
{
    const double perSecond = f.wallMs > 0 ? f.polls * kMsPerS / f.wallMs : 0;
    const double cpuPerRequest = f.polls > 0 ? f.cpuMs / f.polls : 0;
    std::printf("%s: requests/s=%.1f cpu_ms/request=%.3f longest_stall_ms=%.2f valid=%d/%d timeouts=%d\n",
        name, perSecond, cpuPerRequest, f.longestStallMs, f.valid, f.polls, f.timeouts);
    std::fflush(stdout);
}

// One end of a pseudo-terminal: the master side is ours, the slave path is for a serial port.
class Pty {
public:
    Pty()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            m_master = -1;
            return;
        }
        for (int fd : { m_master, slave }) {
            termios tio {};
            if (tcgetattr(fd, &tio) == 0) {
                cfmakeraw(&tio);
                tcsetattr(fd, TCSANOW, &tio);
            }
        }
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        // Kept open so the line survives a port closing and reopening.
        m_slaveKeeper = slave;
        m_path = QString::fromLocal8Bit(name);
    }
    ~Pty()
    {
        if (m_slaveKeeper >= 0)
            ::close(m_slaveKeeper);
        if (m_master >= 0)
            ::close(m_master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    QString path() const { return m_path; }

    QByteArray readAll()
    {
        QByteArray out;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, n);
        }
        return out;
    }
    void writeAll(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                return;
            done += n;
        }
    }

private:
    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_path;
};

// Two pseudo-terminals whose master sides forward to each other, so two programs that each open a
// serial device talk as if wired together.
class PtyBridge : public QObject {
public:
    PtyBridge()
    {
        if (!m_a.isValid() || !m_b.isValid())
            return;
        m_fromA = std::make_unique<QSocketNotifier>(m_a.masterFd(), QSocketNotifier::Read);
        m_fromB = std::make_unique<QSocketNotifier>(m_b.masterFd(), QSocketNotifier::Read);
        connect(m_fromA.get(), &QSocketNotifier::activated, this, [this] { m_b.writeAll(m_a.readAll()); });
        connect(m_fromB.get(), &QSocketNotifier::activated, this, [this] { m_a.writeAll(m_b.readAll()); });
    }
    bool isValid() const { return m_fromA != nullptr; }
    QString pathA() const { return m_a.path(); }
    QString pathB() const { return m_b.path(); }

private:
    Pty m_a;
    Pty m_b;
    std::unique_ptr<QSocketNotifier> m_fromA;
    std::unique_ptr<QSocketNotifier> m_fromB;
};

bool startServer(QModbusRtuSerialServer& server, const QString& path)
{
    QModbusDataUnitMap map;
    map.insert(QModbusDataUnit::HoldingRegisters, { QModbusDataUnit::HoldingRegisters, 0, kServerRegisters });
    server.setMap(map);
    server.setServerAddress(kServerAddress);
    server.setConnectionParameter(QModbusDevice::SerialPortNameParameter, path);
    server.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, kBaud);
    server.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    server.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    server.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    return server.connectDevice();
}

// mbpoll reading the static group once per run, run after run, while the server keeps serving.
void runMbpoll(const QString& mbpoll, const QString& path)
{
    QEventLoop loop;
    QProcess process;
    int runs = 0;
    int succeeded = 0;
    const QStringList arguments { "-m", "rtu", "-a", QString::number(kServerAddress), "-b",
        QString::number(kBaud), "-P", "none", "-t", "4", "-r", "52", "-c", "16", "-1", path };
    QObject::connect(&process, &QProcess::finished, &loop, [&](int exitCode, QProcess::ExitStatus status) {
        ++runs;
        if (status == QProcess::NormalExit && exitCode == 0)
            ++succeeded;
        if (runs >= kMbpollRuns)
            loop.quit();
        else
            process.start(mbpoll, arguments);
    });
    QTimer::singleShot(kHangGuardMs, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    process.start(mbpoll, arguments);
    loop.exec();
    const double ms = wall.nsecsElapsed() / kNsPerMs;
    std::printf("mbpoll (one request per process, start-up included): requests/s=%.1f valid=%d/%d\n",
        ms > 0 ? runs * kMsPerS / ms : 0, succeeded, runs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : kDefaultRequests;
    std::printf(
        "modbus_rate: %d requests per case, %d baud, single-sensor cycle ticked on each finish; CPU time "
        "includes the peer running in this process\n",
        requests, kBaud);

    {
        velto::sim::SimulatedLine line;
        QtModbusMaster master;
        if (!line.isValid() || !master.openPort(line.devicePath(), kLineSettings)) {
            std::printf("simulated bus: cannot open (%s)\n", qPrintable(master.lastErrorText()));
            return 1;
        }
        printRate("simulated bus, slave 1", pollFlatOut(master, kSimSlave, requests));

        master.setRxTimeout(kSilentRxTimeoutMs);
        const Figures silent = pollFlatOut(master, kSilentSlave, kSilentRequests);
        std::printf("silent slave 7 (rx timeout %d ms, %d requests): elapsed_ms=%.0f longest_stall_ms=%.2f "
                    "timeouts=%d/%d\n",
            kSilentRxTimeoutMs, kSilentRequests, silent.wallMs, silent.longestStallMs, silent.timeouts,
            silent.polls);
    }

    {
        PtyBridge bridge;
        QModbusRtuSerialServer server;
        QtModbusMaster master;
        if (!bridge.isValid() || !startServer(server, bridge.pathB())
            || !master.openPort(bridge.pathA(), kLineSettings)) {
            std::printf("QModbusRtuSerialServer: cannot set up (%s)\n", qPrintable(master.lastErrorText()));
            return 1;
        }
        printRate("QModbusRtuSerialServer over a pty bridge, slave 1",
            pollFlatOut(master, kServerAddress, requests));
        master.closePort();

        const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
        if (mbpoll.isEmpty())
            std::printf("mbpoll: skipped (not installed)\n");
        else
            runMbpoll(mbpoll, bridge.pathA());
        server.disconnectDevice();
    }
    std::fflush(stdout);
    return 0;
}
