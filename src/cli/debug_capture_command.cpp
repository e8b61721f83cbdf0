#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/signal_watcher.h"
#include "debugterm/debug_terminal.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <limits>

namespace velto::cli {

namespace {

constexpr int kMsPerSecond = 1000;
constexpr int kMaxSeconds = std::numeric_limits<int>::max() / kMsPerSecond;

} // namespace

int runDebugCapture(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Listens to a Taliq485 sensor's debug output (it never sends) and writes the capture file the "
        "debug terminal writes: each line's text, a tab, the seconds since the start and CR LF. Prints "
        "each line as the terminal screen shows it, as DebugWindowText=..., and a summary at the end. "
        "Exits with 1 when the port cannot be opened or goes away, or the file cannot be written."));
    const LineOptions lineOptions;
    const QCommandLineOption out(
        QStringLiteral("out"), QStringLiteral("Capture file to write (replaced)."), QStringLiteral("FILE"));
    const IntOption seconds { { QStringLiteral("seconds"),
                                  QStringLiteral("Seconds to listen; 0 listens until interrupted (0)."),
                                  QStringLiteral("S") },
        0, kMaxSeconds, 0 };
    lineOptions.addTo(parser);
    parser.addOption(out);
    parser.addOption(seconds.option);
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;
    const QString command = args.value(0);
    if (!lineOptions.portGiven(parser))
        return usageError(parser, command, QStringLiteral("--port is required"));
    if (!parser.isSet(out) || parser.value(out).isEmpty())
        return usageError(parser, command, QStringLiteral("--out is required"));
    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    const auto secondsValue = intValue(parser, seconds, error);
    if (!error.isEmpty())
        return usageError(parser, command, error);

    CommandLine line(*lineChoice, traffic::Protocol::Debug);
    debugterm::DebugTerminal terminal(line.link(), SystemClock::instance());
    // No screen here: the finished lines are printed one by one instead.
    terminal.setKeepLines(true);

    // The port first: a port that will not open leaves an earlier capture of that name alone.
    if (!terminal.start(lineChoice->port, lineChoice->settings())) {
        printError(terminal.errorText());
        return kExitFailure;
    }
    if (!terminal.openCapture(parser.value(out))) {
        printError(terminal.errorText());
        return kExitFailure;
    }

    int exitCode = kExitOk;
    auto finish = [&terminal, &exitCode](int code) {
        if (code != kExitOk)
            exitCode = code;
        terminal.stop();
        terminal.closeCapture();
        QCoreApplication::exit(exitCode);
    };
    QObject::connect(&terminal, &debugterm::DebugTerminal::linesFinished, [](const QStringList& lines) {
        for (const QString& line : lines)
            printLine(namedText(QStringLiteral("DebugWindowText"), line));
    });
    QObject::connect(&terminal, &debugterm::DebugTerminal::captureFailed, [&finish](const QString& text) {
        printError(text);
        finish(kExitFailure);
    });
    QObject::connect(&terminal, &debugterm::DebugTerminal::lineLost, [&finish](const QString& text) {
        printError(text);
        finish(kExitFailure);
    });
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, [&finish] { finish(kExitOk); });
    if (*secondsValue > 0)
        QTimer::singleShot(*secondsValue * kMsPerSecond, [&finish] { finish(kExitOk); });

    const int code = QCoreApplication::exec();
    printLine(QStringLiteral("%1 %2 %3")
                  .arg(namedText(QStringLiteral("ReceivedBytes"), QString::number(terminal.bytesReceived())),
                      namedText(QStringLiteral("CapturedBytes"), QString::number(terminal.bytesCaptured())),
                      namedText(QStringLiteral("CaptureFilePath"), parser.value(out))));
    return code;
}

} // namespace velto::cli
