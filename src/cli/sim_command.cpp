#include "cli/commands.h"
#include "cli/signal_watcher.h"
#include "sim/simulated_line.h"

#include <QCoreApplication>

#include <cstdio>

namespace velto::cli {

int runSim(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs the simulated sensors on a pseudo-terminal. Prints the device path on the first "
                       "line, then serves Modbus RTU sensors at addresses %1..%2 and Velto ASCII units at "
                       "%3 (single sensor) and %4 (two-sensor unit) until interrupted.")
            .arg(sim::SensorSimulator::kFirstBusAddress)
            .arg(sim::SensorSimulator::kFirstBusAddress + sim::SensorSimulator::kBusSize - 1)
            .arg(sim::SensorSimulator::kAsciiSingleAddress)
            .arg(sim::SensorSimulator::kAsciiPairAddress));
    const QCommandLineOption menu(QStringLiteral("menu"),
        QStringLiteral("Start with the Modbus sensor at ADDR in its menu (repeatable)."),
        QStringLiteral("ADDR"));
    parser.addOption(menu);
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;

    QList<int> menuAddresses;
    for (const QString& text : parser.values(menu)) {
        bool ok = false;
        const int address = text.toInt(&ok);
        if (!ok || address < sim::SensorSimulator::kFirstBusAddress
            || address >= sim::SensorSimulator::kFirstBusAddress + sim::SensorSimulator::kBusSize)
            return usageError(parser, args.value(0),
                QStringLiteral("--menu wants a sensor address from 1 to 5, not '%1'").arg(text));
        menuAddresses.append(address);
    }

    sim::SimulatedLine line;
    if (!line.isValid()) {
        std::fprintf(
            stderr, "velto-cli: cannot create the simulated line: %s\n", qPrintable(line.errorText()));
        return kExitFailure;
    }
    for (int address : menuAddresses)
        line.setInMenu(address, true);

    SignalWatcher watcher;
    if (!watcher.isValid()) {
        std::fputs("velto-cli: cannot watch for interrupts\n", stderr);
        return kExitFailure;
    }
    QObject::connect(
        &watcher, &SignalWatcher::terminationRequested, qApp, [] { QCoreApplication::exit(kExitOk); });

    std::printf("%s\n", qPrintable(line.devicePath()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace velto::cli
