#include "cli/commands.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const QStringList& args);
    const char* summary;
};

constexpr Subcommand kSubcommands[] = {
    { "sim", &velto::cli::runSim, "run the simulated sensors on a pseudo-terminal until interrupted" },
    { "modbus", &velto::cli::runModbus, "modbus write: write holding registers of a Modbus RTU slave" },
};

QString usageText()
{
    QString text = QStringLiteral("Usage: velto-cli <command> [options]\n\nCommands:\n");
    for (const auto& c : kSubcommands)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(c.name), -6).arg(QLatin1String(c.summary));
    text += QStringLiteral("\nRun 'velto-cli <command> --help' for the options of a command.\n");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
    for (const auto& c : kSubcommands) {
        if (command == QLatin1String(c.name))
            return c.run(args.mid(1));
    }
    std::fprintf(stderr, "velto-cli: unknown command '%s'\n\n", qPrintable(command));
    std::fputs(qPrintable(usageText()), stderr);
    return velto::cli::kExitUsage;
}
