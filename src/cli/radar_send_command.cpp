#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/radar_options.h"
#include "cli/signal_watcher.h"
#include "common/whole_file.h"
#include "graph/graph_geometry.h"
#include "graph/graph_painter.h"
#include "radar/radar_box_names.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>
#include <QTimer>

namespace velto::cli {

namespace {

// The picture of --png, as the graph window shows it at its usual size.
constexpr QSize kPictureSize(800, 480);

struct NamedCommand {
    const char* word;
    radar::RadarCommand command;
};
constexpr NamedCommand kCommands[] = {
    { "standby", radar::RadarCommand::StandBy },
    { "track", radar::RadarCommand::Track },
    { "status", radar::RadarCommand::SendStatus },
    { "parameters", radar::RadarCommand::SetParameters },
    { "monitor", radar::RadarCommand::Monitoring },
};

std::optional<radar::RadarCommand> commandNamed(const QString& word)
{
    for (const auto& c : kCommands) {
        if (word == QLatin1String(c.word))
            return c.command;
    }
    return std::nullopt;
}

void click(radar::RadarController& c, radar::RadarCommand command)
{
    switch (command) {
    case radar::RadarCommand::StandBy:
        c.Standby_Click();
        break;
    case radar::RadarCommand::Track:
        c.Track_Click();
        break;
    case radar::RadarCommand::SendStatus:
        c.SendStatus_Click();
        break;
    case radar::RadarCommand::SetParameters:
        c.Set_Parameters_Click();
        break;
    case radar::RadarCommand::Monitoring:
        c.MonitoringCommand_Click();
        break;
    }
}

} // namespace

int runRadarSend(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends one radar command (standby, track, status, parameters or monitor) and prints the judged "
        "reply as Name=text pairs under the radar window's control names. Exits with 1 unless the reply "
        "was accepted."));
    const LineOptions lineOptions;
    const QCommandLineOption kind(QStringLiteral("kind"),
        QStringLiteral("monitor: spectrum or time (spectrum)."), QStringLiteral("K"),
        QStringLiteral("spectrum"));
    const QCommandLineOption png(QStringLiteral("png"),
        QStringLiteral("monitor: also draw the accepted data as the graph window does, into a PNG file."),
        QStringLiteral("FILE"));
    const RadarOptions radarOptions;
    lineOptions.addTo(parser);
    parser.addOption(kind);
    parser.addOption(png);
    radarOptions.addTo(parser);

    // The command word comes first, before the options.
    QStringList rest = args;
    const QString word = rest.value(1);
    const bool hasWord = !word.isEmpty() && !word.startsWith(QLatin1Char('-'));
    if (hasWord)
        rest.removeAt(1);
    if (const int exit = parseOrExit(parser, rest, args.value(0)); exit >= 0)
        return exit;
    const QString name = args.value(0);
    const std::optional<radar::RadarCommand> command = hasWord ? commandNamed(word) : std::nullopt;
    if (!command)
        return usageError(parser, name,
            hasWord ? QStringLiteral("unknown radar command '%1'").arg(word)
                    : QStringLiteral("name a command: standby, track, status, parameters or monitor"));
    if (!lineOptions.portGiven(parser))
        return usageError(parser, name, QStringLiteral("--port is required"));
    const QString kindText = parser.value(kind);
    if (kindText != QLatin1String("spectrum") && kindText != QLatin1String("time"))
        return usageError(
            parser, name, QStringLiteral("--kind wants spectrum or time, not '%1'").arg(kindText));
    if (parser.isSet(png) && *command != radar::RadarCommand::Monitoring)
        return usageError(parser, name, QStringLiteral("--png goes with monitor"));
    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    if (!lineChoice)
        return usageError(parser, name, error);

    // The radar prints its own frames for --trace.
    CommandLine line(*lineChoice, traffic::Protocol::Radar, false);
    serial::ByteLink& link = line.link();
    radar::RadarController controller(link, SystemClock::instance());
    if (!radarOptions.apply(parser, controller, error))
        return usageError(parser, name, error);
    const bool spectrum = kindText == QLatin1String("spectrum");
    controller.inputs().spectrum = spectrum;
    controller.inputs().timeDomain = !spectrum;
    controller.inputs().saveToFile = false;
    controller.inputs().graph = parser.isSet(png);
    const QString settings = lineChoice->settings();
    controller.link().setLineSettings(settings);
    if (radarOptions.trace(parser))
        traceRadarLink(controller.link(), line.link());
    if (!line.open())
        return kExitFailure;

    bool pictureFailed = false;
    QObject::connect(&controller, &radar::RadarController::graphRequested, &controller,
        [&pictureFailed, path = parser.value(png)](const radar::GraphRequest& request) {
            const QImage picture
                = graph::renderMarks(graph::pictureMarks({ request }, kPictureSize), kPictureSize);
            // A full disk or a device that refuses the bytes leaves the picture that was there.
            WholeFile file(path);
            if (!file.open() || !picture.save(&file.device(), "PNG") || !file.commit()) {
                file.cancel();
                printError(
                    QStringLiteral("cannot write the picture to %1: %2").arg(path, file.errorString()));
                pictureFailed = true;
            }
        });
    bool judged = false;
    QObject::connect(&controller, &radar::RadarController::replyJudged, &controller,
        [&pictureFailed, &judged](const radar::JudgedReply& reply) {
            if (reply.incomplete)
                return;
            judged = true;
            QList<BoxUpdate> boxes { { radar::box::kModeText, radar::modeText(reply.command) } };
            boxes += reply.boxes;
            printLine(formatBoxUpdates(boxes));
            QCoreApplication::exit(reply.accepted && !pictureFailed ? kExitOk : kExitFailure);
        });
    QObject::connect(&link, &serial::ByteLink::errorOccurred, &controller, [](const QString& text) {
        printError(text);
        QCoreApplication::exit(kExitFailure);
    });
    // Interrupted before the reply was judged: the command did not succeed.
    SignalWatcher watcher;
    QObject::connect(
        &watcher, &SignalWatcher::terminationRequested, &controller, [&controller, &judged, c = *command] {
            if (judged)
                return;
            controller.link().finishReply();
            printLine(formatBoxUpdates({ { radar::box::kModeText, radar::modeText(c) } }));
            printError(QStringLiteral("interrupted before the reply was judged"));
            QCoreApplication::exit(kExitFailure);
        });
    QTimer::singleShot(0, &controller, [&controller, c = *command] { click(controller, c); });
    return QCoreApplication::exec();
}

} // namespace velto::cli
