#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/signal_watcher.h"
#include "cli/trace.h"
#include "modbus/port_modbus_master.h"
#include "modbus/rtu_master.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

namespace velto::cli {

namespace {

constexpr int kMaxRegister = 65535;
constexpr int kMaxReadCount = 125; // the most one function 3 request can carry
constexpr int kMaxRepeat = 1000000;
constexpr int kMaxIntervalMs = 3600000;

struct ReadPlan {
    int slave;
    int start;
    int count;
    int repeat;
    int intervalMs;
};

// Sends the requests one after the other on the event loop, each at least intervalMs after the
// previous one started, and prints a line per request and the summary. An interrupt or a lost line
// ends the run early, with the summary; the run succeeded only if every request it made did.
class ReadRun : public QObject {
public:
    ReadRun(modbus::ModbusMaster& master, const ReadPlan& plan)
        : m_master(master)
        , m_plan(plan)
    {
        m_next.setSingleShot(true);
        connect(&m_next, &QTimer::timeout, this, &ReadRun::send);
        connect(&m_master, &modbus::ModbusMaster::lineLost, this, &ReadRun::onLineLost);
    }

    void start()
    {
        m_total.start();
        send();
    }

    // Interrupted: a request still out counts as not answered.
    void stop() { summarize(); }

private:
    void send()
    {
        m_lastStart.restart();
        m_inFlight = true;
        m_master.readRegisters(m_plan.slave, m_plan.start, m_plan.count, this,
            [this](const modbus::ModbusResult& result) { finish(result); });
    }

    void finish(const modbus::ModbusResult& result)
    {
        m_inFlight = false;
        if (m_done)
            return;
        ++m_polls;
        QStringList fields { QString::number(result.status) };
        if (result.ok()) {
            ++m_valid;
            for (quint16 word : result.words)
                fields << QString::number(qint16(word));
        } else {
            if (result.status == modbus::StatusTimeout)
                ++m_timeouts;
            else
                ++m_errors;
            fields << namedText(QStringLiteral("LastErrorText"), result.errorText);
        }
        printLine(fields.join(QLatin1Char(' ')));

        if (m_polls < m_plan.repeat && !m_lineLost) {
            m_next.start(std::max<qint64>(0, m_plan.intervalMs - m_lastStart.elapsed()));
            return;
        }
        summarize();
    }

    void onLineLost(const QString& text)
    {
        printError(text);
        m_lineLost = true;
        // The request out, if any, fails on its own and ends the run then.
        if (!m_inFlight)
            summarize();
    }

    void summarize()
    {
        if (m_done)
            return;
        m_done = true;
        m_next.stop();
        printLine(QStringLiteral("polls=%1 valid=%2 timeouts=%3 errors=%4 elapsed_ms=%5")
                      .arg(m_polls)
                      .arg(m_valid)
                      .arg(m_timeouts)
                      .arg(m_errors)
                      .arg(m_total.elapsed()));
        const bool allGood = m_polls > 0 && m_valid == m_polls && !m_inFlight && !m_lineLost;
        QCoreApplication::exit(allGood ? kExitOk : kExitFailure);
    }

    modbus::ModbusMaster& m_master;
    ReadPlan m_plan;
    QTimer m_next;
    QElapsedTimer m_total;
    QElapsedTimer m_lastStart;
    int m_polls = 0;
    int m_valid = 0;
    int m_timeouts = 0;
    int m_errors = 0;
    bool m_inFlight = false;
    bool m_lineLost = false;
    bool m_done = false;
};

} // namespace

int runModbusRead(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads holding registers. Prints one line per request: the status, then the words as signed "
        "decimals (or LastErrorText on a failure); finally polls=K valid=V timeouts=T errors=E "
        "elapsed_ms=X."));
    const LineOptions lineOptions(true);
    const IntOption slave = slaveOption();
    const IntOption start { { QStringLiteral("start"), QStringLiteral("First register, 0-based."),
                                QStringLiteral("S") },
        0, kMaxRegister, -1 };
    const IntOption count { { QStringLiteral("count"), QStringLiteral("Number of registers (1-125)."),
                                QStringLiteral("N") },
        1, kMaxReadCount, -1 };
    const IntOption repeat { { QStringLiteral("repeat"), QStringLiteral("Number of requests (1)."),
                                 QStringLiteral("K") },
        1, kMaxRepeat, 1 };
    const IntOption interval { { QStringLiteral("interval"),
                                   QStringLiteral("Milliseconds from one request's start to the next (0)."),
                                   QStringLiteral("MS") },
        0, kMaxIntervalMs, 0 };
    const IntOption rxTimeout = rxTimeoutOption();
    lineOptions.addTo(parser);
    for (const IntOption* o : { &slave, &start, &count, &repeat, &interval, &rxTimeout })
        parser.addOption(o->option);
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;
    const QString command = args.value(0);
    if (!lineOptions.portGiven(parser) || !parser.isSet(start.option) || !parser.isSet(count.option))
        return usageError(parser, command, QStringLiteral("--port, --start and --count are required"));

    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    const auto slaveValue = intValue(parser, slave, error);
    const auto startValue = intValue(parser, start, error);
    const auto countValue = intValue(parser, count, error);
    const auto repeatValue = intValue(parser, repeat, error);
    const auto intervalValue = intValue(parser, interval, error);
    const auto rxTimeoutValue = intValue(parser, rxTimeout, error);
    if (!error.isEmpty())
        return usageError(parser, command, error);
    const ReadPlan plan { *slaveValue, *startValue, *countValue, *repeatValue, *intervalValue };
    if (plan.start + plan.count > kMaxRegister + 1)
        return usageError(parser, command, QStringLiteral("--start plus --count runs past register 65535"));

    CommandLine line(*lineChoice);
    modbus::RtuMaster rtuMaster(line.link());
    modbus::PortModbusMaster master(rtuMaster);
    traceModbus(master);
    master.setRxTimeout(*rxTimeoutValue);
    if (!master.openPort(lineChoice->port, lineChoice->settings())) {
        printError(master.lastErrorText());
        return kExitFailure;
    }
    ReadRun run(master, plan);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &run, &ReadRun::stop);
    QTimer::singleShot(0, &run, &ReadRun::start);
    return QCoreApplication::exec();
}

} // namespace velto::cli
