#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/poll_run.h"
#include "cli/poll_session.h"
#include "serial/tapped_byte_link.h"
#include "veltoproto/request_frame.h"
#include "veltoproto/velto_poller.h"

#include <QCoreApplication>

namespace velto::cli {

namespace {

constexpr int kMaxTicks = 100000000;
constexpr int kMinIntervalMs = 1;
constexpr int kMaxIntervalMs = 3600000;
constexpr int kMaxReplyWaitMs = 10000;

// Runs the Velto tick from its timer and prints the whole panel after each tick; stops after the
// asked number of ticks.
class VeltoRun : public PollRun {
public:
    VeltoRun(veltoproto::VeltoPoller& poller, PanelTexts& panel, int ticks, CliReadingsLog* log)
        : m_poller(poller)
        , m_panel(panel)
        , m_ticks(ticks)
        , m_log(log)
    {
        connect(&m_poller, &veltoproto::VeltoPoller::displayUpdated, this,
            [this](const veltoproto::DisplayUpdate& update) {
                m_panel.apply(update.boxes);
                m_tickAccepted = m_tickAccepted || update.accepted;
            });
        connect(&m_poller, &veltoproto::VeltoPoller::tickFinished, this, &VeltoRun::onTickFinished);
    }

    void start() override
    {
        m_poller.start();
        // The first tick goes out at once rather than one period later.
        m_poller.tick();
    }

    // Interrupted: a tick cut short before any valid reply counts as failed, as does a run that
    // never finished a tick.
    void stop() override
    {
        if (m_finished)
            return;
        if (!m_tickAccepted && (m_poller.tickInProgress() || m_done == 0))
            ++m_failedTicks;
        finish();
    }
    void fail()
    {
        ++m_failedTicks;
        finish();
    }

private:
    void onTickFinished()
    {
        ++m_done;
        printLine(formatBoxUpdates(m_poller.snapshot()));
        if (!m_tickAccepted) {
            ++m_failedTicks;
            printError(QStringLiteral("no valid reply in tick %1").arg(m_done));
        }
        m_tickAccepted = false;
        if (m_log)
            m_log->afterStep(m_poller.state().layout.has_value());
        if (m_ticks > 0 && m_done >= m_ticks)
            finish();
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_poller.stop();
        const bool logFailed = m_log && m_log->failed();
        QCoreApplication::exit(m_failedTicks == 0 && !logFailed ? kExitOk : kExitFailure);
    }

    veltoproto::VeltoPoller& m_poller;
    PanelTexts& m_panel;
    int m_ticks;
    CliReadingsLog* m_log;
    int m_done = 0;
    int m_failedTicks = 0;
    bool m_tickAccepted = false;
    bool m_finished = false;
};

} // namespace

int runVeltoPoll(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the Velto ASCII tick (distance, tank height, temperature and level requests). After each "
        "tick prints the panel's boxes as Name=text pairs, the second sensor's too when the two-sensor "
        "layout is shown. Exits with 1 when a tick got no valid reply."));
    const LineOptions lineOptions;
    const IntOption address { { QStringLiteral("address"), QStringLiteral("Unit address, 0-255 (1)."),
                                  QStringLiteral("A") },
        veltoproto::kMinVeltoAddress, veltoproto::kMaxVeltoAddress, 1 };
    const IntOption ticks { { QStringLiteral("ticks"),
                                QStringLiteral("Ticks to run; 0 runs until interrupted (0)."),
                                QStringLiteral("N") },
        0, kMaxTicks, 0 };
    const IntOption interval { { QStringLiteral("interval"), QStringLiteral("Tick period in ms (1000)."),
                                   QStringLiteral("MS") },
        kMinIntervalMs, kMaxIntervalMs, veltoproto::VeltoPoller::kTickIntervalMs };
    // The window waits 50 ms for each reply; a slow adapter or a busy test machine may need longer.
    const IntOption replyWait { { QStringLiteral("reply-wait"),
                                    QStringLiteral("Wait for each reply in ms before reading it (50)."),
                                    QStringLiteral("MS") },
        kMinIntervalMs, kMaxReplyWaitMs, veltoproto::VeltoPoller::kReplyWaitMs };
    const QCommandLineOption unit(QStringLiteral("unit"), QStringLiteral("Meter, Inch or Feet (Meter)."),
        QStringLiteral("U"), QStringLiteral("Meter"));
    PollSession session;
    lineOptions.addTo(parser);
    for (const IntOption* o : { &address, &ticks, &interval, &replyWait })
        parser.addOption(o->option);
    parser.addOption(unit);
    session.addTo(parser);
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;
    const QString command = args.value(0);
    if (!lineOptions.portGiven(parser))
        return usageError(parser, command, QStringLiteral("--port is required"));

    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    const auto addressValue = intValue(parser, address, error);
    const auto ticksValue = intValue(parser, ticks, error);
    const auto intervalValue = intValue(parser, interval, error);
    const auto replyWaitValue = intValue(parser, replyWait, error);
    session.readLog(parser, error);
    if (!veltoproto::lengthUnitFromText(parser.value(unit)))
        error = QStringLiteral("--unit wants Meter, Inch or Feet, not '%1'").arg(parser.value(unit));
    session.readPlot(parser, error);
    if (!error.isEmpty())
        return usageError(parser, command, error);
    if (!session.prepare(
            QStringLiteral("Velto poll of address %1 on %2").arg(*addressValue).arg(lineChoice->port),
            *intervalValue, &PanelTexts::veltoReadings, &PanelTexts::veltoLayout))
        return kExitFailure;

    CommandLine line(*lineChoice);
    serial::ByteLink& link = line.link();
    if (!line.open())
        return kExitFailure;
    veltoproto::VeltoPoller poller(link);
    poller.setProtocolMode(true);
    poller.setAddress(*addressValue);
    poller.tickTimer().setInterval(*intervalValue);
    poller.replyTimer().setInterval(*replyWaitValue);
    for (int sensor = 0; sensor < veltoproto::kSensorCount; ++sensor)
        poller.setUnitText(sensor, parser.value(unit));
    session.watch(poller);

    VeltoRun run(poller, session.panel(), *ticksValue, session.log());
    // A line that goes away ends the run as a failure instead of ticking into a closed port.
    QObject::connect(&link, &serial::ByteLink::errorOccurred, &run, [&run](const QString& text) {
        printError(text);
        run.fail();
    });
    return session.exec(run);
}

} // namespace velto::cli
