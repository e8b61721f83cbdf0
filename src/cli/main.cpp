#include "cli/cli_plot.h"
#include "cli/commands.h"
#include "cli/record.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>
#include <utility>

namespace {

struct Subcommand {
    // One word ("sim") or two ("modbus read"); a two-word command takes the first two arguments.
    const char* name;
    int (*run)(const QStringList& args);
    const char* summary; // null: left out of the overview
};

constexpr Subcommand kSubcommands[] = {
    { "sim", &velto::cli::runSim, "run the simulated sensors on a pseudo-terminal until interrupted" },
    { "modbus read", &velto::cli::runModbusRead, "read a block of holding registers, once or repeatedly" },
    { "modbus poll", &velto::cli::runModbusPoll,
        "run the single-sensor register cycle and print the panels" },
    { "modbus write", &velto::cli::runModbusWrite, "write holding registers of a Modbus RTU slave" },
    { "velto poll", &velto::cli::runVeltoPoll, "run the Velto ASCII tick and print the panel" },
    { "debug capture", &velto::cli::runDebugCapture,
        "listen to a Taliq485's debug output and write the capture file" },
    { "debug parse", &velto::cli::runDebugParse, "turn a captured debug log into the two .xlsx workbooks" },
    // Only says which calibrate commands there are; the overview lists those themselves.
    { "calibrate", &velto::cli::runCalibrate, nullptr },
    { "calibrate param", &velto::cli::runCalibrateParam, "send a transceiver parameter, then 'M'" },
    { "calibrate current", &velto::cli::runCalibrateCurrent, "trim a 4-20 mA output point" },
    { "calibrate relay", &velto::cli::runCalibrateRelay, "switch a relay of the multi-sensor unit" },
    { "calibrate defaults", &velto::cli::runCalibrateDefaults, "restore the transceiver defaults, then 'M'" },
    { "radar send", &velto::cli::runRadarSend, "send one radar command and print the judged reply" },
    { "radar measure", &velto::cli::runRadarMeasure, "run the radar's automatic measurement sequence" },
    { "flash burn", &velto::cli::runFlashBurn, "burn a HEX file into the flash through the bootloader" },
    { "flash erase", &velto::cli::runFlashErase, "erase the flash" },
    { "flash test", &velto::cli::runFlashTest, "test and erase the flash" },
};

constexpr int kNameColumnWidth = 18;

// The subcommand the arguments name and how many words its name took.
std::pair<const Subcommand*, int> findSubcommand(const QStringList& args)
{
    const QString oneWord = args.value(1);
    const QString twoWords = oneWord + QLatin1Char(' ') + args.value(2);
    // Two-word names first, so "modbus" alone never shadows "modbus read".
    for (const auto& c : kSubcommands) {
        if (twoWords == QLatin1String(c.name))
            return { &c, 2 };
    }
    for (const auto& c : kSubcommands) {
        if (oneWord == QLatin1String(c.name))
            return { &c, 1 };
    }
    return { nullptr, 0 };
}

// The commands whose name begins with `group` and a blank ("radar send", "radar measure").
QString groupText(const QString& group)
{
    QString commands;
    for (const auto& c : kSubcommands) {
        const QString name = QLatin1String(c.name);
        if (c.summary != nullptr && name.startsWith(group + QLatin1Char(' ')))
            commands
                += QStringLiteral("  %1  %2\n").arg(name, -kNameColumnWidth).arg(QLatin1String(c.summary));
    }
    if (commands.isEmpty())
        return {};
    return QStringLiteral("Usage: velto-cli %1 <command> [options]\n\nCommands:\n%2\n"
                          "Each command's --help lists its options.\n")
        .arg(group, commands);
}

QString usageText()
{
    // Laid out as help2man reads it: the installed man page is generated from this text and from
    // each command's --help.
    QString text = QStringLiteral(
        "Usage: velto-cli <command> [options]\n"
        "Runs the logic of the Velto PC Control windows without them: the simulated sensors and what "
        "the windows do with a sensor. Results are printed as Name=text pairs under the names of the "
        "boxes that would show them.\n\nCommands:\n");
    for (const auto& c : kSubcommands) {
        if (c.summary == nullptr)
            continue;
        text += QStringLiteral("  %1  %2\n")
                    .arg(QLatin1String(c.name), -kNameColumnWidth)
                    .arg(QLatin1String(c.summary));
    }
    text += QStringLiteral("\nOptions:\n"
                           "  -h, --help  Show this help; after a command, that command's options.\n"
                           "  --version   Show the version.\n"
                           "\nExit status:\n"
                           "  0  every step succeeded\n"
                           "  1  any failure: a port that would not open, a time-out, an exception or an "
                           "invalid answer\n"
                           "  2  bad arguments\n");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    // A picture's text needs a GUI application's fonts; offscreen, for no window is ever shown.
    std::unique_ptr<QCoreApplication> app;
    if (velto::cli::CliPlot::wanted(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("velto-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTO_CLI_VERSION));

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fputs(qPrintable(usageText()), stderr);
        return velto::cli::kExitUsage;
    }
    const QString command = args.at(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")
        || command == QLatin1String("help")) {
        std::fputs(qPrintable(usageText()), stdout);
        return velto::cli::kExitOk;
    }
    if (command == QLatin1String("--version")) {
        std::printf("velto-cli %s\n", VELTO_CLI_VERSION);
        return velto::cli::kExitOk;
    }
    if (const auto [subcommand, words] = findSubcommand(args); subcommand) {
        // The parser sees the command's full name where it expects the program name.
        QStringList commandArgs = args.mid(1 + words);
        commandArgs.prepend(QLatin1String(subcommand->name));
        const int exitCode = subcommand->run(commandArgs);
        // The command's line is closed now; a session it recorded is complete only with its end.
        if (!velto::cli::finishRecording() && exitCode == velto::cli::kExitOk)
            return velto::cli::kExitFailure;
        return exitCode;
    }
    // A group named alone ("velto-cli radar --help"): its commands.
    if (const QString group = groupText(command); !group.isEmpty()) {
        const QString next = args.value(2);
        const bool help = next == QLatin1String("--help") || next == QLatin1String("-h");
        if (!help)
            std::fprintf(stderr, "velto-cli: %s\n\n",
                qPrintable(next.isEmpty() ? QStringLiteral("%1 wants a command").arg(command)
                                          : QStringLiteral("unknown command '%1 %2'").arg(command, next)));
        std::fputs(qPrintable(group), help ? stdout : stderr);
        return help ? velto::cli::kExitOk : velto::cli::kExitUsage;
    }
    std::fprintf(stderr, "velto-cli: unknown command '%s'\n\n", qPrintable(command));
    std::fputs(qPrintable(usageText()), stderr);
    return velto::cli::kExitUsage;
}
