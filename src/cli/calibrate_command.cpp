#include "calibration/calibration_session.h"
#include "calibration/calibration_texts.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/signal_watcher.h"
#include "common/number_text.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <limits>
#include <optional>

namespace velto::cli {

namespace {

using calibration::CalibrationSession;
using calibration::TransceiverParameter;

constexpr int kDrainPollMs = 10;
// Against a port that never takes the bytes; six bytes leave in milliseconds at any baud rate.
constexpr int kDrainGuardMs = 5000;

const QString kUsage = QStringLiteral(
    "Usage: velto-cli calibrate param pulses|gain|threshold|tbmin|power|power10 (--code C | "
    "--value V) --port P\n"
    "       velto-cli calibrate current io1-4ma|io2-4ma|io3-4ma|io1-20ma|io2-20ma|io3-20ma "
    "(--code C | --ma X) "
    "--port P\n"
    "       velto-cli calibrate relay 1..6|multi on|off --port P\n"
    "       velto-cli calibrate defaults --port P\n"
    "Common options: --baud B (9600), --remove-echo (skip our own frames coming back), --trace (line "
    "traffic on stderr).\n");

struct NamedParameter {
    const char* name;
    TransceiverParameter parameter;
};
constexpr NamedParameter kParameters[] = {
    { "pulses", TransceiverParameter::Pulses },
    { "gain", TransceiverParameter::Gain },
    { "threshold", TransceiverParameter::Threshold },
    { "tbmin", TransceiverParameter::TBMin },
    { "power", TransceiverParameter::Power },
    { "power10", TransceiverParameter::PowerX10 },
};

struct NamedOutput {
    const char* name;
    calibration::CurrentOutput output;
};
constexpr NamedOutput kOutputs[] = {
    { "io1-4ma", calibration::CurrentOutput::Io1At4mA },
    { "io2-4ma", calibration::CurrentOutput::Io2At4mA },
    { "io3-4ma", calibration::CurrentOutput::Io3At4mA },
    { "io1-20ma", calibration::CurrentOutput::Io1At20mA },
    { "io2-20ma", calibration::CurrentOutput::Io2At20mA },
    { "io3-20ma", calibration::CurrentOutput::Io3At20mA },
};

std::optional<int> parseCode(const QString& text)
{
    const auto value = parseWholeNumber(text);
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*value);
}

// The words right after the command name ("gain", "3 on"); the options follow them.
QStringList leadingWords(const QStringList& args, int count)
{
    QStringList words;
    for (int i = 1; i < args.size() && words.size() < count && !args.at(i).startsWith(QLatin1Char('-')); ++i)
        words << args.at(i);
    return words;
}

QStringList withoutWords(const QStringList& args, int count)
{
    QStringList rest = args;
    rest.remove(1, count);
    return rest;
}

// Opens the line, runs one step of the session and waits until its messages (and a follow-up) have
// left the port. Every message sent is printed as Sent="..". Exit 0 only when all of them went.
int runStep(const LineChoice& choice, calibration::CalibrationState& state,
    const std::function<bool(CalibrationSession&)>& step, const std::function<void()>& afterSuccess = {})
{
    CommandLine line(choice, traffic::Protocol::Calibration);
    serial::ByteLink& link = line.link();
    if (!line.open())
        return kExitFailure;
    CalibrationSession session(link, state);
    QTimer drain;
    drain.setInterval(kDrainPollMs);
    QTimer drainGuard;
    drainGuard.setSingleShot(true);
    drainGuard.setInterval(kDrainGuardMs);
    int exitCode = kExitOk;
    auto finish = [&](int code) {
        drain.stop();
        drainGuard.stop();
        exitCode = std::max(exitCode, code);
        QCoreApplication::exit(exitCode);
    };
    auto startDrain = [&] {
        drain.start();
        drainGuard.start();
    };
    QObject::connect(&session, &CalibrationSession::sent, [](const QByteArray& message) {
        printLine(namedText(QStringLiteral("Sent"), calibration::hexBytes(message)));
    });
    QObject::connect(&session, &CalibrationSession::sendFailed, [&](const QString& text) {
        printError(text);
        exitCode = kExitFailure;
    });
    QObject::connect(&session, &CalibrationSession::sequenceFinished, [&](bool ok) {
        if (!ok)
            exitCode = kExitFailure;
        startDrain();
    });
    QObject::connect(&link, &serial::ByteLink::readyRead, [&] {
        // The unit never answers; whatever comes is only traced.
        link.readAll();
    });
    QObject::connect(&link, &serial::ByteLink::errorOccurred, [&](const QString& text) {
        printError(text);
        finish(kExitFailure);
    });
    QObject::connect(&drain, &QTimer::timeout, [&] {
        if (link.bytesToWrite() > 0)
            return;
        if (exitCode == kExitOk && afterSuccess)
            afterSuccess();
        finish(exitCode);
    });
    QObject::connect(&drainGuard, &QTimer::timeout, [&] {
        printError(QStringLiteral("the port did not send the message"));
        finish(kExitFailure);
    });
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, [&] {
        printError(session.busy() ? QStringLiteral("interrupted before the follow-up was sent")
                                  : QStringLiteral("interrupted"));
        finish(kExitFailure);
    });
    QTimer::singleShot(0, [&] {
        if (!step(session)) {
            finish(kExitFailure);
            return;
        }
        if (!session.busy())
            startDrain();
    });
    QCoreApplication::exec();
    link.close();
    return exitCode;
}

} // namespace

int runCalibrateParam(const QStringList& args)
{
    const QString command = QStringLiteral("calibrate param");
    const QStringList words = leadingWords(args, 1);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends one transceiver parameter to the multi-sensor unit, then the 'M' follow-up one second later, "
        "as the calibration window's Update does. Prints the panel's texts, each message sent, and the "
        "parameter's value box."));
    const LineOptions lineOptions;
    const QCommandLineOption code(
        QStringLiteral("code"), QStringLiteral("Slider code, decimal or 0x-hex."), QStringLiteral("C"));
    const QCommandLineOption value(QStringLiteral("value"),
        QStringLiteral("Value as typed into the window (Vdc, us, Vp-p); not for power10."),
        QStringLiteral("V"));
    lineOptions.addTo(parser);
    parser.addOption(code);
    parser.addOption(value);
    if (const int exit = parseOrExit(parser, withoutWords(args, int(words.size())), command); exit >= 0)
        return exit;

    const auto named = std::find_if(std::begin(kParameters), std::end(kParameters),
        [&](const NamedParameter& p) { return words.value(0) == QLatin1String(p.name); });
    if (named == std::end(kParameters))
        return usageError(parser, command,
            QStringLiteral("which parameter: pulses, gain, threshold, tbmin, power or power10"));
    const TransceiverParameter parameter = named->parameter;
    const calibration::TransceiverRow& row = calibration::transceiverRow(parameter);
    if (parser.isSet(code) == parser.isSet(value))
        return usageError(parser, command, QStringLiteral("give either --code or --value"));
    std::optional<int> chosen;
    if (parser.isSet(code)) {
        chosen = parseCode(parser.value(code));
        if (!chosen || !calibration::isInRange(parameter, *chosen))
            return usageError(parser, command,
                QStringLiteral("--code for %1 wants %2 to %3, not '%4'")
                    .arg(QLatin1String(named->name))
                    .arg(row.minCode)
                    .arg(row.maxCode)
                    .arg(parser.value(code)));
    } else {
        if (parameter == TransceiverParameter::PowerX10)
            return usageError(parser, command, QStringLiteral("power10 is a switch: give --code 0 or 1"));
        chosen = calibration::transceiverCodeFromText(parameter, parser.value(value));
        if (!chosen)
            return usageError(parser, command, QStringLiteral("Invalid Value '%1'").arg(parser.value(value)));
    }
    QString error;
    const auto line = lineOptions.read(parser, error);
    if (!line)
        return usageError(parser, command, error);

    calibration::CalibrationState state;
    printLine(formatBoxUpdates(calibration::transceiverPanelTexts(parameter, *chosen, state)));
    return runStep(
        *line, state, [&](CalibrationSession& s) { return s.updateTransceiver(parameter, *chosen); },
        [&] {
            QList<BoxUpdate> boxes { calibration::valueBoxText(parameter, state) };
            if (parameter == TransceiverParameter::PowerX10)
                boxes << calibration::valueBoxText(TransceiverParameter::Power, state);
            printLine(formatBoxUpdates(boxes));
        });
}

int runCalibrateCurrent(const QStringList& args)
{
    const QString command = QStringLiteral("calibrate current");
    const QStringList words = leadingWords(args, 1);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Trims one 4-20 mA output point of the multi-sensor unit with a D/A code, as the "
                       "calibration window's "
                       "current Update does. Prints the panel's texts and the message sent."));
    const LineOptions lineOptions;
    const QCommandLineOption code(
        QStringLiteral("code"), QStringLiteral("D/A code 0..65535, decimal or 0x-hex."), QStringLiteral("C"));
    const QCommandLineOption ma(QStringLiteral("ma"),
        QStringLiteral("Current in mA, converted as the window does."), QStringLiteral("X"));
    lineOptions.addTo(parser);
    parser.addOption(code);
    parser.addOption(ma);
    if (const int exit = parseOrExit(parser, withoutWords(args, int(words.size())), command); exit >= 0)
        return exit;

    const auto named = std::find_if(std::begin(kOutputs), std::end(kOutputs),
        [&](const NamedOutput& o) { return words.value(0) == QLatin1String(o.name); });
    if (named == std::end(kOutputs))
        return usageError(parser, command,
            QStringLiteral("which output: io1-4ma, io2-4ma, io3-4ma, io1-20ma, io2-20ma or io3-20ma"));
    if (parser.isSet(code) == parser.isSet(ma))
        return usageError(parser, command, QStringLiteral("give either --code or --ma"));
    std::optional<int> chosen;
    if (parser.isSet(code)) {
        chosen = parseCode(parser.value(code));
        if (!chosen || *chosen < calibration::kMinCurrentCode || *chosen > calibration::kMaxCurrentCode)
            return usageError(
                parser, command, QStringLiteral("--code wants 0 to 65535, not '%1'").arg(parser.value(code)));
    } else {
        chosen = calibration::currentCodeFromText(parser.value(ma));
        if (!chosen)
            return usageError(parser, command, QStringLiteral("Invalid Value '%1'").arg(parser.value(ma)));
    }
    QString error;
    const auto line = lineOptions.read(parser, error);
    if (!line)
        return usageError(parser, command, error);

    calibration::CalibrationState state;
    printLine(formatBoxUpdates(calibration::currentPanelTexts(*chosen)));
    const calibration::CurrentOutput output = named->output;
    return runStep(*line, state, [&](CalibrationSession& s) { return s.updateCurrent(output, *chosen); });
}

int runCalibrateRelay(const QStringList& args)
{
    const QString command = QStringLiteral("calibrate relay");
    const QStringList words = leadingWords(args, 2);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Switches relay 1..6 or the multi-sensor relay of the unit, as the calibration "
                       "window's check boxes do. Prints the message sent."));
    const LineOptions lineOptions;
    lineOptions.addTo(parser);
    if (const int exit = parseOrExit(parser, withoutWords(args, int(words.size())), command); exit >= 0)
        return exit;

    std::optional<int> relay;
    if (words.value(0) == QLatin1String("multi")) {
        relay = calibration::kMultiSensorRelay;
    } else if (const auto number = parseCode(words.value(0));
               number && *number >= 1 && *number <= calibration::kRelayCount) {
        relay = *number;
    }
    if (!relay)
        return usageError(parser, command, QStringLiteral("which relay: 1 to 6 or multi"));
    const QString state = words.value(1);
    if (state != QLatin1String("on") && state != QLatin1String("off"))
        return usageError(parser, command, QStringLiteral("switch the relay on or off"));
    QString error;
    const auto line = lineOptions.read(parser, error);
    if (!line)
        return usageError(parser, command, error);

    calibration::CalibrationState remembered;
    const bool on = state == QLatin1String("on");
    return runStep(*line, remembered, [&](CalibrationSession& s) { return s.switchRelay(*relay, on); });
}

int runCalibrateDefaults(const QStringList& args)
{
    const QString command = QStringLiteral("calibrate defaults");
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Restores the unit's default transceiver parameters: the 'N' message, then 'M' one second later, as "
        "the window's Default Paramrters does. Prints each message sent and the value boxes."));
    const LineOptions lineOptions;
    lineOptions.addTo(parser);
    if (const int exit = parseOrExit(parser, args, command); exit >= 0)
        return exit;
    QString error;
    const auto line = lineOptions.read(parser, error);
    if (!line)
        return usageError(parser, command, error);

    calibration::CalibrationState state;
    return runStep(
        *line, state, [](CalibrationSession& s) { return s.restoreDefaults(); },
        [&] { printLine(formatBoxUpdates(calibration::valueBoxTexts(state))); });
}

int runCalibrate(const QStringList& args)
{
    const QString action = args.value(1);
    const bool help = action == QLatin1String("--help") || action == QLatin1String("-h");
    if (!help)
        std::fprintf(stderr, "velto-cli: calibrate wants param, current, relay or defaults\n\n");
    std::fputs(qPrintable(kUsage), help ? stdout : stderr);
    return help ? kExitOk : kExitUsage;
}

} // namespace velto::cli
