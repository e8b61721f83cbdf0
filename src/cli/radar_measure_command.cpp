#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/panel_texts.h"
#include "cli/radar_options.h"
#include "cli/signal_watcher.h"
#include "radar/measurement_sequence.h"
#include "radar/monitoring_files.h"
#include "radar/monitoring_folder.h"
#include "radar/radar_box_names.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

namespace velto::cli {

namespace {

constexpr int kMaxCount = 32767;
constexpr int kMaxTicks = 100000000;
constexpr int kDefaultAttempts = 5;
constexpr int kMaxAttempts = 1000000;

// Runs the sequence as Start does and prints a line per judged reply, then the final status.
class MeasureRun : public QObject {
public:
    MeasureRun(radar::RadarController& controller, radar::MeasurementSequence& sequence, bool periodical,
        int periodicalTicks, const radar::MonitoringFiles* files)
        : m_controller(controller)
        , m_sequence(sequence)
        , m_periodical(periodical)
        , m_ticks(periodicalTicks)
        , m_files(files)
    {
        connect(&m_controller, &radar::RadarController::boxesChanged, this,
            [this](const QList<BoxUpdate>& updates) { m_panel.apply(updates); });
        connect(&m_controller, &radar::RadarController::replyJudged, this, &MeasureRun::onJudged);
        connect(&m_sequence, &radar::MeasurementSequence::stepFailed, this,
            [](radar::MeasurementSequence::Step, int attempts) {
                printError(QStringLiteral("no acceptable reply after %1 attempts").arg(attempts));
            });
        // After the line of the reply that ended the run, which its slots print next.
        connect(&m_sequence, &radar::MeasurementSequence::ended, this, [this](bool completed) {
            QTimer::singleShot(0, this, [this, completed] { finish(completed); });
        });
    }

    void start() { m_sequence.StartOrStopMeasCommand_Click(); }
    void interrupt()
    {
        // A periodical series ends only by an interrupt: a good one, if every reply so far was good
        // and none was still awaited.
        if (m_periodical && m_statusReplies > 0 && m_refused == 0
            && m_sequence.state() != radar::MeasurementSequence::State::AwaitingReply)
            m_completed = true;
        if (m_sequence.running())
            m_sequence.StartOrStopMeasCommand_Click();
        else
            finish(m_completed);
    }

private:
    void onJudged(const radar::JudgedReply& reply)
    {
        if (reply.incomplete)
            return;
        QList<BoxUpdate> boxes { { radar::box::kModeText, radar::modeText(reply.command) } };
        boxes += reply.boxes;
        printLine(formatBoxUpdates(boxes));
        if (!reply.accepted) {
            ++m_refused;
            return;
        }
        if (reply.command == radar::RadarCommand::SendStatus && ++m_statusReplies >= m_ticks && m_ticks > 0) {
            m_completed = true;
            // A periodical series ends only by Stop; this is it, once the asked replies are in.
            QTimer::singleShot(0, this, [this] { m_sequence.StartOrStopMeasCommand_Click(); });
        }
    }

    void finish(bool completed)
    {
        if (m_finished)
            return;
        m_finished = true;
        const bool ok = completed || m_completed;
        QList<BoxUpdate> last { text(radar::box::kStatusText), text(radar::box::kCounterOfMeasText),
            text(radar::box::kMoreIndexText), text(radar::box::kDistanceOrLevelText) };
        if (m_files && !m_files->lastPath().isEmpty())
            last.append({ QStringLiteral("FileNameText"), m_files->lastPath() });
        printLine(formatBoxUpdates(last));
        QCoreApplication::exit(ok ? kExitOk : kExitFailure);
    }

    BoxUpdate text(const QString& name) const { return { name, m_panel.text(name) }; }

    radar::RadarController& m_controller;
    radar::MeasurementSequence& m_sequence;
    PanelTexts m_panel;
    bool m_periodical;
    int m_ticks;
    const radar::MonitoringFiles* m_files;
    int m_statusReplies = 0;
    int m_refused = 0;
    bool m_completed = false;
    bool m_finished = false;
};

} // namespace

int runRadarMeasure(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the radar window's automatic sequence as Start does: StandBy, Set Parameters and Track until "
        "acknowledged, a counted (or periodical) series of Send Status, then the spectrum and/or "
        "time-domain data. Prints each judged reply as Name=text pairs and the final status. Exits with 1 "
        "when a step is not acknowledged within --attempts sends."));
    const LineOptions lineOptions;
    const IntOption count { { QStringLiteral("count"), QStringLiteral("No. of Meas., 1-32767 (5)."),
                                QStringLiteral("N") },
        1, kMaxCount, 5 };
    const QCommandLineOption spectrum(QStringLiteral("spectrum"), QStringLiteral("Fetch the spectrum data."));
    const QCommandLineOption timeDomain(
        QStringLiteral("time-domain"), QStringLiteral("Fetch the time-domain data."));
    const QCommandLineOption periodical(QStringLiteral("periodical"),
        QStringLiteral("Periodical Measurement: Send Status until interrupted or --ticks replies."));
    const IntOption ticks { { QStringLiteral("ticks"),
                                QStringLiteral("Periodical: stop after this many distances; 0 runs until "
                                               "interrupted (0)."),
                                QStringLiteral("N") },
        0, kMaxTicks, 0 };
    const IntOption attempts { { QStringLiteral("attempts"),
                                   QStringLiteral("Sends of one step before the run fails (5)."),
                                   QStringLiteral("N") },
        1, kMaxAttempts, kDefaultAttempts };
    const QCommandLineOption file(QStringLiteral("file"),
        QStringLiteral("Save Monitoring to File: a name in the data folder (~/Rendo Monitor), or a path."),
        QStringLiteral("NAME"));
    const RadarOptions radarOptions;
    lineOptions.addTo(parser);
    parser.addOption(file);
    for (const IntOption* o : { &count, &ticks, &attempts })
        parser.addOption(o->option);
    for (const QCommandLineOption* o : { &spectrum, &timeDomain, &periodical })
        parser.addOption(*o);
    radarOptions.addTo(parser);
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;
    const QString name = args.value(0);
    if (!lineOptions.portGiven(parser))
        return usageError(parser, name, QStringLiteral("--port is required"));
    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    const auto countValue = intValue(parser, count, error);
    const auto ticksValue = intValue(parser, ticks, error);
    const auto attemptsValue = intValue(parser, attempts, error);
    if (!error.isEmpty())
        return usageError(parser, name, error);
    const bool isPeriodical = parser.isSet(periodical);
    if (isPeriodical && (parser.isSet(spectrum) || parser.isSet(timeDomain)))
        return usageError(parser, name, QStringLiteral("a periodical series fetches no monitoring data"));
    if (parser.isSet(ticks.option) && !isPeriodical)
        return usageError(parser, name, QStringLiteral("--ticks goes with --periodical"));

    // The radar prints its own frames for --trace.
    CommandLine line(*lineChoice, traffic::Protocol::Radar, false);
    serial::ByteLink& link = line.link();
    radar::RadarController controller(link, SystemClock::instance());
    if (!radarOptions.apply(parser, controller, error))
        return usageError(parser, name, error);
    radar::RadarInputs& in = controller.inputs();
    in.numOfAutomeasurement = *countValue;
    in.spectrum = parser.isSet(spectrum);
    in.timeDomain = parser.isSet(timeDomain);
    in.periodical = isPeriodical;
    std::unique_ptr<radar::MonitoringFiles> files;
    in.saveToFile = parser.isSet(file);
    if (in.saveToFile) {
        const QString fileArg = parser.value(file);
        if (fileArg.isEmpty())
            return usageError(parser, name, QStringLiteral("--file needs a name"));
        // A bare name goes to the data folder as in the window; anything with a folder is a path.
        const bool isPath = fileArg.contains(QLatin1Char('/')) || QFileInfo(fileArg).isAbsolute();
        in.fileName = isPath ? QFileInfo(fileArg).absoluteFilePath() : fileArg;
        files = std::make_unique<radar::MonitoringFiles>(
            isPath ? QString() : radar::defaultMonitoringFolder(), [](const QString& m) { printError(m); });
        controller.setFileSink(files.get());
    }
    const QString settings = lineChoice->settings();
    controller.link().setLineSettings(settings);
    if (radarOptions.trace(parser))
        traceRadarLink(controller.link(), line.link());
    if (!line.open())
        return kExitFailure;

    radar::MeasurementSequence sequence(controller);
    sequence.setAttemptLimit(*attemptsValue);
    MeasureRun run(controller, sequence, isPeriodical, isPeriodical ? *ticksValue : 0, files.get());
    QObject::connect(&link, &serial::ByteLink::errorOccurred, &run, [](const QString& text) {
        printError(text);
        QCoreApplication::exit(kExitFailure);
    });
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &run, [&run] { run.interrupt(); });
    QTimer::singleShot(0, &run, [&run] { run.start(); });
    return QCoreApplication::exec();
}

} // namespace velto::cli
