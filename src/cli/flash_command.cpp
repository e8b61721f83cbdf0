#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/signal_watcher.h"
#include "cli/trace.h"
#include "flash/flash_burner.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace velto::cli {

namespace {

constexpr int kProgressSteps = 10;

// Prints what the window would show: each new status text on stdout, a progress line on stderr at
// every tenth of the file, the window's transcript on stderr with --trace (besides the line's rows);
// exits when the operation ends.
class FlashRun : public QObject {
public:
    explicit FlashRun(flash::FlashBurner& burner)
    {
        using flash::FlashBurner;
        connect(&burner, &FlashBurner::statusChanged, this, &FlashRun::onStatus);
        connect(&burner, &FlashBurner::progressRangeChanged, this,
            [this](int, int maximum) { m_lines = maximum; });
        connect(&burner, &FlashBurner::progressChanged, this, &FlashRun::onProgress);
        connect(&burner, &FlashBurner::messageBox, this,
            [](const QString& text, const QString&, Prompter::Icon) { printError(text); });
        if (tracing()) {
            connect(&burner, &FlashBurner::transcriptEntry, this,
                [](const QString& entry) { std::fprintf(stderr, "DebugText: %s\n", qPrintable(entry)); });
        }
        connect(&burner, &FlashBurner::finished, this, [](const flash::FlashResult& result) {
            if (result.stopped)
                printError(result.stopText);
            QCoreApplication::exit(result.deviceConfirmed() ? kExitOk : kExitFailure);
        });
    }

private:
    void onStatus(const QString& text)
    {
        // The same text for every line is one status, not thousands.
        if (text.isEmpty() || text == m_lastStatus)
            return;
        m_lastStatus = text;
        printLine(namedText(QStringLiteral("FlashBurningStatusText"), text));
    }

    void onProgress(int line)
    {
        if (m_lines <= 1)
            return;
        const int step = int(qint64(line) * kProgressSteps / m_lines);
        if (step == m_lastStep)
            return;
        m_lastStep = step;
        std::fprintf(stderr, "velto-cli: line %d of %d\n", line, m_lines);
    }

    QString m_lastStatus;
    int m_lines = 0;
    int m_lastStep = -1;
};

enum class Operation { Burn, Erase, Test };

int runFlash(const QStringList& args, Operation operation)
{
    QCommandLineParser parser;
    const QString what = operation == Operation::Burn
        ? QStringLiteral(
            "Burns a HEX file into the sensor's flash through its bootloader (\">B0\" and each line), "
            "after running the HEX converter on it and, with --erase, erasing the flash.")
        : operation == Operation::Erase ? QStringLiteral("Erases the sensor's flash (\">B4\").")
                                        : QStringLiteral("Tests and erases the sensor's flash (\">B1\").");
    parser.setApplicationDescription(what
        + QStringLiteral(
            " Prints each status text as FlashBurningStatusText=text. Exits with 0 only when the "
            "device accepted everything and reported success."));
    const LineOptions lineOptions;
    const QCommandLineOption hex(
        QStringLiteral("hex"), QStringLiteral("The HEX file to burn."), QStringLiteral("FILE"));
    const QCommandLineOption erase(
        QStringLiteral("erase"), QStringLiteral("Erase the flash before burning."));
    const QCommandLineOption converter(QStringLiteral("converter"),
        QStringLiteral("The HEX converter run on the file first (HexOrder next to this program)."),
        QStringLiteral("PATH"));
    lineOptions.addTo(parser);
    if (operation == Operation::Burn) {
        parser.addOption(hex);
        parser.addOption(erase);
        parser.addOption(converter);
    }
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;
    const QString command = args.value(0);
    if (!lineOptions.portGiven(parser))
        return usageError(parser, command, QStringLiteral("--port is required"));
    if (operation == Operation::Burn && parser.value(hex).isEmpty())
        return usageError(parser, command, QStringLiteral("--hex is required"));
    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    if (!error.isEmpty())
        return usageError(parser, command, error);

    CommandLine line(*lineChoice, traffic::Protocol::Flash);
    serial::ByteLink& link = line.link();
    if (!line.open())
        return kExitFailure;
    QObject::connect(
        &link, &serial::ByteLink::errorOccurred, &link, [](const QString& text) { printError(text); });
    flash::FlashBurner burner(link);
    FlashRun run(burner);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &burner, &flash::FlashBurner::stop);

    flash::BurnRequest request;
    if (operation == Operation::Burn) {
        request.hexPath = parser.value(hex);
        request.erase = parser.isSet(erase);
        // Every run is a new choice of the file: the converter runs each time.
        request.runConverter = true;
        request.converterProgram
            = parser.isSet(converter) ? parser.value(converter) : flash::HexOrderRunner::defaultProgram();
    }
    QTimer::singleShot(0, &burner, [&burner, operation, request] {
        switch (operation) {
        case Operation::Burn:
            burner.burn(request);
            return;
        case Operation::Erase:
            burner.eraseFlash();
            return;
        case Operation::Test:
            burner.testFlash();
            return;
        }
    });
    return QCoreApplication::exec();
}

} // namespace

int runFlashBurn(const QStringList& args)
{
    return runFlash(args, Operation::Burn);
}

int runFlashErase(const QStringList& args)
{
    return runFlash(args, Operation::Erase);
}

int runFlashTest(const QStringList& args)
{
    return runFlash(args, Operation::Test);
}

} // namespace velto::cli
