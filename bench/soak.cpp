// Polls the simulated sensors for a long time while the line misbehaves at random, switching
// between the Modbus single-sensor cycle and the Velto ASCII tick the way the modes do, and reports
// resident memory over time, requests, failures and the longest event-loop stall.
//
// Usage: soak [--seconds S] [--phase-seconds P] [--seed N]
#include "modbus/rtu_master.h"
#include "modbus/single_sensor_poller.h"
#include "serial/qt_byte_link.h"
#include "sim_line_setup.h"
#include "stall_meter.h"
#include "veltoproto/velto_poller.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

using namespace velto;

constexpr int kDefaultSeconds = 60;
constexpr int kDefaultPhaseSeconds = 10;
constexpr int kReportEveryS = 60;
constexpr int kModbusTickMs = 100;
constexpr int kVeltoTickMs = 300;
constexpr int kMaxLateMs = 1500;
constexpr double kMaxFaultChance = 0.3;
const QString kLineSettings = QStringLiteral("9600,n,8,1");
// Addresses a phase may poll: the five simulated sensors, and one where nobody answers.
constexpr int kModbusAddresses[] = { 1, 2, 3, 4, 5, 99 };
constexpr int kVeltoAddresses[] = { 10, 20, 33 };
constexpr int kMsPerS = 1000;
constexpr long kBytesPerKb = 1024;

long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * sysconf(_SC_PAGESIZE) / kBytesPerKb : -1;
}

struct Counts {
    int modbusRequests = 0;
    int modbusValid = 0;
    int modbusTimeouts = 0;
    int veltoTicks = 0;
    int veltoTicksAccepted = 0;
    int phases = 0;
};

class Soak : public QObject {
public:
    Soak(int seconds, int phaseSeconds, quint32 seed)
        : m_seconds(seconds)
        , m_random(seed)
        , m_modbus(m_master)
        , m_velto(m_link)
    {
        m_modbusTimer.setInterval(kModbusTickMs);
        connect(&m_modbusTimer, &QTimer::timeout, &m_modbus, &modbus::SingleSensorPoller::tick);
        connect(&m_modbus, &modbus::SingleSensorPoller::countersChanged, this,
            [this](int polls, int valid, int timeouts) {
                m_phaseModbus = { polls, valid, timeouts };
            });
        m_velto.setProtocolMode(true);
        m_velto.tickTimer().setInterval(kVeltoTickMs);
        connect(&m_velto, &veltoproto::VeltoPoller::displayUpdated, this,
            [this](const veltoproto::DisplayUpdate& update) {
                m_tickAccepted = m_tickAccepted || update.accepted;
            });
        connect(&m_velto, &veltoproto::VeltoPoller::tickFinished, this, [this] {
            ++m_counts.veltoTicks;
            m_counts.veltoTicksAccepted += m_tickAccepted ? 1 : 0;
            m_tickAccepted = false;
        });
        m_phaseTimer.setInterval(phaseSeconds * kMsPerS);
        connect(&m_phaseTimer, &QTimer::timeout, this, &Soak::nextPhase);
        m_reportTimer.setInterval(kReportEveryS * kMsPerS);
        connect(&m_reportTimer, &QTimer::timeout, this,
            [this] { report(QStringLiteral("t=%1s").arg(m_elapsed.elapsed() / kMsPerS)); });
    }

    bool start()
    {
        if (!bench::simLineReady(m_line))
            return false;
        m_startKb = residentKb();
        m_elapsed.start();
        m_stall.start();
        m_phaseTimer.start();
        m_reportTimer.start();
        QTimer::singleShot(m_seconds * kMsPerS, this, &Soak::finish);
        std::printf(
            "soak: %d s on %s, start rss %ld kB\n", m_seconds, qPrintable(m_line.devicePath()), m_startKb);
        nextPhase();
        return true;
    }

private:
    void nextPhase()
    {
        endModbusPhase();
        m_velto.stop();
        m_link.close();
        ++m_counts.phases;

        sim::LineFaults faults;
        auto maybe
            = [this] { return m_random.bounded(2) ? m_random.generateDouble() * kMaxFaultChance : 0.0; };
        faults.silence = maybe();
        faults.shortReply = maybe();
        faults.corrupt = maybe();
        faults.split = maybe();
        faults.garbage = maybe();
        faults.lateMs = m_random.bounded(3) == 0 ? m_random.bounded(kMaxLateMs) : 0;
        m_line.setFaults(faults, m_random.generate());

        if (m_counts.phases % 2) {
            m_modbus.setCurrentSlaveId(kModbusAddresses[m_random.bounded(int(std::size(kModbusAddresses)))]);
            if (bench::openOnSimLine(m_line, m_master, kLineSettings))
                m_modbusTimer.start();
        } else {
            m_master.closePort();
            m_velto.setAddress(kVeltoAddresses[m_random.bounded(int(std::size(kVeltoAddresses)))]);
            if (bench::openOnSimLine(m_line, m_link, kLineSettings))
                m_velto.start();
        }
    }

    void endModbusPhase()
    {
        m_modbusTimer.stop();
        m_counts.modbusRequests += m_phaseModbus[0];
        m_counts.modbusValid += m_phaseModbus[1];
        m_counts.modbusTimeouts += m_phaseModbus[2];
        m_phaseModbus = {};
        m_modbus.resetCounters();
    }

    void report(const QString& when)
    {
        std::printf("%s rss=%ld kB modbus requests=%d valid=%d time-outs=%d velto ticks=%d with-reply=%d "
                    "longest-stall=%.1f ms\n",
            qPrintable(when), residentKb(), m_counts.modbusRequests + m_phaseModbus[0],
            m_counts.modbusValid + m_phaseModbus[1], m_counts.modbusTimeouts + m_phaseModbus[2],
            m_counts.veltoTicks, m_counts.veltoTicksAccepted, m_stall.longestMs());
        std::fflush(stdout);
    }

    void finish()
    {
        endModbusPhase();
        m_velto.stop();
        const double stallMs = m_stall.stopAndLongestMs();
        const long endKb = residentKb();
        report(QStringLiteral("end"));
        const int modbusFailures = m_counts.modbusRequests - m_counts.modbusValid;
        std::printf(
            "summary: %d s, %d phases; rss %ld -> %ld kB (%+ld kB); modbus %d requests, %d valid, %d "
            "failed (%d time-outs); velto %d ticks, %d without a valid reply; longest stall %.1f ms\n",
            m_seconds, m_counts.phases, m_startKb, endKb, endKb - m_startKb, m_counts.modbusRequests,
            m_counts.modbusValid, modbusFailures, m_counts.modbusTimeouts, m_counts.veltoTicks,
            m_counts.veltoTicks - m_counts.veltoTicksAccepted, stallMs);
        m_master.closePort();
        m_link.close();
        QCoreApplication::quit();
    }

    int m_seconds;
    QRandomGenerator m_random;
    sim::SimulatedLine m_line;
    serial::QtByteLink m_modbusPort;
    modbus::RtuMaster m_master { m_modbusPort };
    serial::QtByteLink m_link;
    modbus::SingleSensorPoller m_modbus;
    veltoproto::VeltoPoller m_velto;
    QTimer m_modbusTimer;
    QTimer m_phaseTimer;
    QTimer m_reportTimer;
    QElapsedTimer m_elapsed;
    bench::StallMeter m_stall;
    Counts m_counts;
    std::array<int, 3> m_phaseModbus {};
    bool m_tickAccepted = false;
    long m_startKb = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soak test of the pollers against a misbehaving simulated line."));
    parser.addHelpOption();
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("Length of the run (60)."),
        QStringLiteral("S"), QString::number(kDefaultSeconds));
    const QCommandLineOption phase(QStringLiteral("phase-seconds"),
        QStringLiteral("Length of one mode and fault mix (10)."), QStringLiteral("P"),
        QString::number(kDefaultPhaseSeconds));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the faults (1)."),
        QStringLiteral("N"), QStringLiteral("1"));
    parser.addOptions({ seconds, phase, seed });
    parser.process(app);
    bool ok1 = false, ok2 = false, ok3 = false;
    const int s = parser.value(seconds).toInt(&ok1);
    const int p = parser.value(phase).toInt(&ok2);
    const uint n = parser.value(seed).toUInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || s <= 0 || p <= 0) {
        std::fputs(
            "soak: --seconds and --phase-seconds want positive whole numbers, --seed a number\n", stderr);
        return 2;
    }
    Soak soak(s, p, n);
    if (!soak.start())
        return 1;
    return QCoreApplication::exec();
}
