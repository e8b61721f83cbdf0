#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/poll_run.h"
#include "cli/poll_session.h"
#include "cli/trace.h"
#include "modbus/port_modbus_master.h"
#include "modbus/rtu_master.h"
#include "modbus/single_sensor_poller.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace velto::cli {

namespace {

constexpr int kMaxTicks = 100000000;
constexpr int kMaxIntervalMs = 30000;

// Drives the single-sensor cycle from a timer, as the window's TimerModbusDataUpdate does, and
// prints a line per group read; stops after the asked number of requests, on an interrupt or when
// the line is lost. The run succeeded only if every request it made did.
class ModbusPollRun : public PollRun {
public:
    ModbusPollRun(modbus::ModbusMaster& master, modbus::SingleSensorPoller& poller, PanelTexts& panel,
        int ticks, int intervalMs, CliReadingsLog* log)
        : m_poller(poller)
        , m_panel(panel)
        , m_ticks(ticks)
        , m_log(log)
    {
        m_timer.setInterval(intervalMs);
        connect(&m_timer, &QTimer::timeout, &m_poller, &modbus::SingleSensorPoller::tick);
        connect(&m_poller, &modbus::SingleSensorPoller::boxesUpdated, this, &ModbusPollRun::onGroup);
        connect(&m_poller, &modbus::SingleSensorPoller::groupFailed, this, &ModbusPollRun::onFailure);
        connect(&master, &modbus::ModbusMaster::lineLost, this, &ModbusPollRun::onLineLost);
    }

    void start() override
    {
        m_elapsed.start();
        m_timer.start();
        m_poller.tick();
    }

    // Interrupted: the summary still goes out; a request still out counts as not answered.
    void stop() override { finish(); }

private:
    void onGroup(modbus::GroupKind group, const QList<BoxUpdate>& updates)
    {
        printLine(formatBoxUpdates(updates));
        m_panel.apply(updates);
        // A line logs the static group's unit and tank height and the dynamic group's readings and
        // flow caption, so the log starts once both have been shown.
        if (group == modbus::GroupKind::Static)
            m_staticShown = true;
        else if (group == modbus::GroupKind::Dynamic && m_staticShown)
            m_readyToLog = true;
        // Only a read that brought its registers gives the log something new to write.
        if (m_log)
            m_log->afterStep(m_readyToLog);
        afterRequest();
    }

    void onFailure(modbus::GroupKind, int status, const QString& text)
    {
        ++m_errors;
        printLine(namedText(QStringLiteral("status"), QString::number(status)) + QLatin1Char(' ')
            + namedText(QStringLiteral("LastErrorText"), text));
        afterRequest();
    }

    void afterRequest()
    {
        if (m_lineLost || (m_ticks > 0 && m_poller.NumOfPollsOneDevice() >= m_ticks))
            finish();
    }

    void onLineLost(const QString& text)
    {
        printError(text);
        m_lineLost = true;
        m_timer.stop();
        // The request out, if any, fails on its own and ends the run then.
        if (!m_poller.requestInFlight())
            finish();
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_timer.stop();
        const int polls = m_poller.NumOfPollsOneDevice();
        const int valid = m_poller.NumOfResponseOneDevice();
        const int timeouts = m_poller.TimeoutCoubter();
        printLine(QStringLiteral("polls=%1 valid=%2 timeouts=%3 errors=%4 elapsed_ms=%5")
                      .arg(polls)
                      .arg(valid)
                      .arg(timeouts)
                      .arg(polls - valid - timeouts)
                      .arg(m_elapsed.elapsed()));
        const bool logFailed = m_log && m_log->failed();
        const bool allGood
            = polls > 0 && m_errors == 0 && !m_poller.requestInFlight() && !m_lineLost && !logFailed;
        QCoreApplication::exit(allGood ? kExitOk : kExitFailure);
    }

private:
    modbus::SingleSensorPoller& m_poller;
    PanelTexts& m_panel;
    int m_ticks;
    CliReadingsLog* m_log;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    int m_errors = 0;
    bool m_staticShown = false;
    bool m_readyToLog = false;
    bool m_lineLost = false;
    bool m_finished = false;
};

} // namespace

int runModbusPoll(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the single-sensor cycle (static, dynamic and information groups in turn, one request per "
        "tick). After each group read prints the boxes the panels would show as Name=text pairs; on a "
        "failure prints the status and LastErrorText. Ends with a polls=... summary line."));
    const LineOptions lineOptions(true);
    const IntOption slave = slaveOption();
    const IntOption rxTimeout = rxTimeoutOption();
    const IntOption ticks { { QStringLiteral("ticks"),
                                QStringLiteral("Requests to make; 0 runs until interrupted (0)."),
                                QStringLiteral("N") },
        0, kMaxTicks, 0 };
    const IntOption interval { { QStringLiteral("interval"), QStringLiteral("Tick period in ms (300)."),
                                   QStringLiteral("MS") },
        modbus::RtuMaster::kMinTimeoutMs, kMaxIntervalMs, modbus::RtuMaster::kDefaultTxTimeoutMs };
    PollSession session;
    lineOptions.addTo(parser);
    for (const IntOption* o : { &slave, &rxTimeout, &ticks, &interval })
        parser.addOption(o->option);
    session.addTo(parser);
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;
    const QString command = args.value(0);
    if (!lineOptions.portGiven(parser))
        return usageError(parser, command, QStringLiteral("--port is required"));

    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    const auto slaveValue = intValue(parser, slave, error);
    const auto rxTimeoutValue = intValue(parser, rxTimeout, error);
    const auto ticksValue = intValue(parser, ticks, error);
    const auto intervalValue = intValue(parser, interval, error);
    session.readLog(parser, error);
    session.readPlot(parser, error);
    if (!error.isEmpty())
        return usageError(parser, command, error);
    if (!session.prepare(
            QStringLiteral("Modbus poll of slave %1 on %2").arg(*slaveValue).arg(lineChoice->port),
            *intervalValue, &PanelTexts::modbusReadings, &PanelTexts::modbusLayout))
        return kExitFailure;

    CommandLine line(*lineChoice);
    modbus::RtuMaster rtuMaster(line.link());
    modbus::PortModbusMaster master(rtuMaster);
    traceModbus(master);
    master.setRxTimeout(*rxTimeoutValue);
    master.setTxTimeout(*intervalValue);
    if (!master.openPort(lineChoice->port, lineChoice->settings())) {
        printError(master.lastErrorText());
        return kExitFailure;
    }
    modbus::SingleSensorPoller poller(master);
    poller.setCurrentSlaveId(*slaveValue);
    session.watch(poller);

    ModbusPollRun run(master, poller, session.panel(), *ticksValue, *intervalValue, session.log());
    return session.exec(run);
}

} // namespace velto::cli
