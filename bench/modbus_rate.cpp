// Modbus polling rate, measured side by side in one run over pseudo-terminals: the program's RTU
// master against the Qt-based client it replaced and against the mbpoll loop, on the same Qt RTU
// server behind a pty bridge; the master against the simulated bus and a silent address; and the
// master on a paced 9600 bit/s line, as a share of the ideal cycle (request and answer on the wire
// plus the 3.5-character gap before the next request).
#include "modbus/modbus_crc.h"
#include "modbus/rtu_master.h"
#include "modbus/single_sensor_poller.h"
#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"
#include "sim_line_setup.h"
#include "stall_meter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QModbusRtuSerialServer>
#include <QProcess>
#include <QQueue>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using velto::bench::cpuMs;
using velto::bench::kNsPerMs;
using velto::bench::StallMeter;
using velto::modbus::RtuMaster;
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
constexpr int kRounds = 2; // each master runs this often, taking turns
constexpr double kMsPerS = 1000.0;
constexpr double kUsPerMs = 1000.0;
constexpr int kBitsPerCharacter = 10; // 8N1
constexpr double kCharacterUs = kBitsPerCharacter * 1e6 / kBaud;
constexpr double kGapUs = 3.5 * kCharacterUs;

// The single-sensor cycle's groups, in its order.
struct Group {
    int start;
    int count;
};
constexpr std::array<Group, 3> kGroups { { { 51, 16 }, { 0, 8 }, { 192, 5 } } };

struct Figures {
    int polls = 0;
    int valid = 0;
    int timeouts = 0;
    double wallMs = 0;
    double cpuMs = 0;
    double longestStallMs = 0;

    double perSecond() const { return wallMs > 0 ? polls * kMsPerS / wallMs : 0; }
    Figures& operator+=(const Figures& o)
    {
        polls += o.polls;
        valid += o.valid;
        timeouts += o.timeouts;
        wallMs += o.wallMs;
        cpuMs += o.cpuMs;
        longestStallMs = std::max(longestStallMs, o.longestStallMs);
        return *this;
    }
};

// Runs `start` and the loop until `done` quits it, measuring wall time, CPU time and stalls.
template <typename Start> Figures measure(QEventLoop& loop, Start start)
{
    QTimer::singleShot(kHangGuardMs, &loop, &QEventLoop::quit);
    StallMeter stalls;
    stalls.start();
    const double cpuBefore = cpuMs();
    QElapsedTimer wall;
    wall.start();
    start();
    loop.exec();
    Figures f;
    f.wallMs = wall.nsecsElapsed() / kNsPerMs;
    f.cpuMs = cpuMs() - cpuBefore;
    f.longestStallMs = stalls.stopAndLongestMs();
    return f;
}

// The program's cycle: the single-sensor poller ticked again as soon as each request finished.
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
    Figures f = measure(loop,
        [&poller] { QMetaObject::invokeMethod(&poller, &SingleSensorPoller::tick, Qt::QueuedConnection); });
    f.polls = poller.NumOfPollsOneDevice();
    f.valid = poller.NumOfResponseOneDevice();
    f.timeouts = poller.TimeoutCoubter();
    return f;
}

// The same three groups in turn through Qt's RTU client, the master the program used before.
Figures pollQtClientFlatOut(QModbusRtuSerialClient& client, int slave, int requests)
{
    QEventLoop loop;
    Figures f;
    std::function<void()> next = [&] {
        const Group g = kGroups[size_t(f.polls % int(kGroups.size()))];
        QModbusReply* reply = client.sendReadRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, g.start, quint16(g.count)), slave);
        if (!reply) {
            loop.quit();
            return;
        }
        QObject::connect(reply, &QModbusReply::finished, &loop, [&, reply, g] {
            ++f.polls;
            if (reply->error() == QModbusDevice::NoError && reply->result().valueCount() == uint(g.count))
                ++f.valid;
            else if (reply->error() == QModbusDevice::TimeoutError)
                ++f.timeouts;
            reply->deleteLater();
            if (f.polls >= requests)
                loop.quit();
            else
                QTimer::singleShot(0, &loop, next);
        });
    };
    const Figures m = measure(loop, [&] { QTimer::singleShot(0, &loop, next); });
    f.wallMs = m.wallMs;
    f.cpuMs = m.cpuMs;
    f.longestStallMs = m.longestStallMs;
    return f;
}

void printRate(const char* name, const Figures& f)
{
    const double cpuPerRequest = f.polls > 0 ? f.cpuMs / f.polls : 0;
    std::printf("%s: requests/s=%.1f cpu_ms/request=%.3f longest_stall_ms=%.2f valid=%d/%d timeouts=%d\n",
        name, f.perSecond(), cpuPerRequest, f.longestStallMs, f.valid, f.polls, f.timeouts);
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

// A slave that answers reads at once behind a 9600 bit/s wire: a request is heard when its last
// character would have arrived, and its answer is handed over when the answer's last character
// would have. What is left of a cycle beyond that is the master's own.
class PacedSlave : public QObject {
public:
    static constexpr qsizetype kReadRequestBytes = 8;

    PacedSlave()
    {
        if (!m_pty.isValid())
            return;
        m_notifier = std::make_unique<QSocketNotifier>(m_pty.masterFd(), QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &PacedSlave::onReadable);
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &PacedSlave::writeDue);
        m_clock.start();
    }
    bool isValid() const { return m_notifier != nullptr; }
    QString path() const { return m_pty.path(); }
    // Sum over the answers given of the ideal cycle: both frames on the wire and one gap.
    double idealMs() const { return m_idealUs / kUsPerMs; }
    int answers() const { return m_answers; }
    void resetCounts()
    {
        m_idealUs = 0;
        m_answers = 0;
    }

private:
    struct Due {
        qint64 atUs;
        QByteArray bytes;
    };

    void onReadable()
    {
        const qint64 now = m_clock.nsecsElapsed() / 1000;
        m_buffer += m_pty.readAll();
        while (m_buffer.size() >= kReadRequestBytes) {
            const QByteArray request = m_buffer.first(kReadRequestBytes);
            m_buffer.remove(0, kReadRequestBytes);
            const int count = (quint8(request[4]) << 8) | quint8(request[5]);
            QByteArray answer;
            answer.append(request[0]);
            answer.append(request[1]);
            answer.append(char(2 * count));
            for (int i = 0; i < count; ++i)
                answer.append(QByteArray::fromHex("0001"));
            answer = velto::modbus::withModbusCrc(answer);
            const double wireUs = (request.size() + answer.size()) * kCharacterUs;
            m_due.enqueue({ now + qint64(wireUs), answer });
            m_idealUs += wireUs + kGapUs;
            ++m_answers;
        }
        schedule();
    }
    void writeDue()
    {
        const qint64 now = m_clock.nsecsElapsed() / 1000;
        while (!m_due.isEmpty() && m_due.head().atUs <= now)
            m_pty.writeAll(m_due.dequeue().bytes);
        schedule();
    }
    void schedule()
    {
        if (m_due.isEmpty() || m_timer.isActive())
            return;
        const qint64 waitUs = m_due.head().atUs - m_clock.nsecsElapsed() / 1000;
        m_timer.start(int(std::max<qint64>(0, waitUs / 1000)));
    }

    Pty m_pty;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QByteArray m_buffer;
    QQueue<Due> m_due;
    double m_idealUs = 0;
    int m_answers = 0;
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

bool openQtClient(QModbusRtuSerialClient& client, const QString& path)
{
    client.setConnectionParameter(QModbusDevice::SerialPortNameParameter, path);
    client.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, kBaud);
    client.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    client.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    client.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    client.setTimeout(RtuMaster::kDefaultRxTimeoutMs);
    client.setNumberOfRetries(0);
    return client.connectDevice();
}

// The program's master on its own tapped serial port, as the program builds it.
struct ProgramMaster {
    velto::serial::QtByteLink port;
    velto::serial::TappedByteLink line { port };
    RtuMaster master { line };
};

// mbpoll reading the static group once per run, run after run, while the server keeps serving.
double runMbpoll(const QString& mbpoll, const QString& path)
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
    const double perSecond = ms > 0 ? runs * kMsPerS / ms : 0;
    std::printf("mbpoll (one request per process, start-up included): requests/s=%.1f valid=%d/%d\n",
        perSecond, succeeded, runs);
    return perSecond;
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
        PtyBridge bridge;
        QModbusRtuSerialServer server;
        if (!bridge.isValid() || !startServer(server, bridge.pathB())) {
            std::printf("QModbusRtuSerialServer: cannot set up\n");
            return 1;
        }
        Figures ours;
        Figures qt;
        for (int round = 0; round < kRounds; ++round) {
            {
                ProgramMaster m;
                if (!m.master.openPort(bridge.pathA(), kLineSettings)) {
                    std::printf("RTU master: cannot open (%s)\n", qPrintable(m.master.lastErrorText()));
                    return 1;
                }
                ours += pollFlatOut(m.master, kServerAddress, requests);
            }
            {
                QModbusRtuSerialClient client;
                if (!openQtClient(client, bridge.pathA())) {
                    std::printf(
                        "QModbusRtuSerialClient: cannot open (%s)\n", qPrintable(client.errorString()));
                    return 1;
                }
                qt += pollQtClientFlatOut(client, kServerAddress, requests);
                client.disconnectDevice();
            }
        }
        printRate("RTU master, QModbusRtuSerialServer over a pty bridge, slave 1", ours);
        printRate("QModbusRtuSerialClient (the master replaced), same server and bridge", qt);
        std::printf("RTU master / QModbusRtuSerialClient: %.2f\n",
            qt.perSecond() > 0 ? ours.perSecond() / qt.perSecond() : 0);

        const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
        if (mbpoll.isEmpty()) {
            std::printf("mbpoll: skipped (not installed)\n");
        } else {
            const double mbpollRate = runMbpoll(mbpoll, bridge.pathA());
            std::printf(
                "RTU master / mbpoll loop: %.2f\n", mbpollRate > 0 ? ours.perSecond() / mbpollRate : 0);
        }
        server.disconnectDevice();
    }

    {
        velto::sim::SimulatedLine line;
        ProgramMaster m;
        if (!velto::bench::openOnSimLine(line, m.master, kLineSettings)) {
            std::printf("simulated bus: cannot open\n");
            return 1;
        }
        printRate("RTU master, simulated bus, slave 1", pollFlatOut(m.master, kSimSlave, requests));

        m.master.setRxTimeout(kSilentRxTimeoutMs);
        const Figures silent = pollFlatOut(m.master, kSilentSlave, kSilentRequests);
        std::printf("silent slave 7 (rx timeout %d ms, %d requests): elapsed_ms=%.0f longest_stall_ms=%.2f "
                    "timeouts=%d/%d\n",
            kSilentRxTimeoutMs, kSilentRequests, silent.wallMs, silent.longestStallMs, silent.timeouts,
            silent.polls);
    }

    {
        PacedSlave slave;
        ProgramMaster m;
        if (!slave.isValid() || !m.master.openPort(slave.path(), kLineSettings)) {
            std::printf("paced line: cannot open (%s)\n", qPrintable(m.master.lastErrorText()));
            return 1;
        }
        const Figures paced = pollFlatOut(m.master, kServerAddress, requests);
        printRate("RTU master, paced 9600 bit/s line", paced);
        std::printf("paced 9600 bit/s line: ideal cycle %.2f ms, measured %.2f ms: %.3f of the ideal\n",
            slave.idealMs() / std::max(1, slave.answers()), paced.wallMs / std::max(1, paced.polls),
            paced.wallMs > 0 ? slave.idealMs() / paced.wallMs : 0);

        m.master.closePort();
        slave.resetCounts();
        QModbusRtuSerialClient client;
        if (openQtClient(client, slave.path())) {
            const Figures qtPaced = pollQtClientFlatOut(client, kServerAddress, requests);
            printRate("QModbusRtuSerialClient, paced 9600 bit/s line", qtPaced);
            std::printf("QModbusRtuSerialClient on the paced line: %.3f of the ideal\n",
                qtPaced.wallMs > 0 ? slave.idealMs() / qtPaced.wallMs : 0);
            client.disconnectDevice();
        }
    }
    std::fflush(stdout);
    return 0;
}
