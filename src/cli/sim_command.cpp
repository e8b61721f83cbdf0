#include "calibration/calibration_message.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/replay_serve.h"
#include "cli/signal_watcher.h"
#include "common/number_text.h"
#include "sim/simulated_line.h"

#include <QCoreApplication>

#include <cstdio>
#include <limits>

namespace velto::cli {

namespace {

constexpr int kMaxLateMs = 60000;

// A fault probability from 0 to 1.
struct ChanceOption {
    QCommandLineOption option;
    double sim::LineFaults::*field;
};

// One line per calibration message the unit took: the bytes, whether it kept them, and its state.
QString calibrationUnitLine(const sim::CalibrationUnit& unit, QByteArrayView frame, bool accepted)
{
    static const char* const kTransceiver[] = { "Pulses", "Gain", "Threshold", "TBMin", "Power", "PowerX10" };
    static const char* const kCurrents[]
        = { "IO1_4mA", "IO2_4mA", "IO3_4mA", "IO1_20mA", "IO2_20mA", "IO3_20mA" };
    auto word = [](quint16 w) { return QStringLiteral("%1").arg(w, 4, 16, QLatin1Char('0')).toUpper(); };
    QStringList pairs { namedText(QStringLiteral("Received"), calibration::hexBytes(frame)),
        namedText(
            QStringLiteral("Result"), accepted ? QStringLiteral("accepted") : QStringLiteral("ignored")) };
    for (int i = 0; i < sim::CalibrationUnit::kTransceiverWords; ++i)
        pairs << namedText(QLatin1String(kTransceiver[i]), word(unit.transceiverWord(i)));
    pairs << namedText(QStringLiteral("FollowUps"), QString::number(unit.followUps()));
    for (int i = 0; i < sim::CalibrationUnit::kCurrentWords; ++i)
        pairs << namedText(QLatin1String(kCurrents[i]), word(unit.currentWord(i)));
    for (int relay = 1; relay <= sim::CalibrationUnit::kRelaySwitches; ++relay) {
        const QString name = relay <= calibration::kRelayCount ? QStringLiteral("Relay%1").arg(relay)
                                                               : QStringLiteral("MultiSensorRelay");
        pairs << namedText(name, unit.relay(relay) ? QStringLiteral("on") : QStringLiteral("off"));
    }
    return pairs.join(QLatin1Char(' '));
}

// The simulated sensors' own options make no sense for a recorded far end.
int runReplay(const QCommandLineParser& parser, const QCommandLineOption& replay,
    const QCommandLineOption& speed, const QString& command)
{
    for (const QString& name : parser.optionNames()) {
        if (name != replay.names().first() && name != speed.names().first() && name != QLatin1String("trace"))
            return usageError(parser, command, QStringLiteral("--%1 cannot go with --replay").arg(name));
    }
    double factor = 1;
    if (parser.isSet(speed)) {
        const std::optional<double> value = parseRealNumber(parser.value(speed));
        if (!value || *value < 0)
            return usageError(parser, command,
                QStringLiteral("--speed wants a number from 0 up, not '%1'").arg(parser.value(speed)));
        factor = *value;
    }
    return serveReplay(parser.value(replay), factor);
}

} // namespace

int runSim(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Runs the simulated sensors on a pseudo-terminal. Prints the device path on the first "
            "line, then serves Modbus RTU sensors at addresses %1..%2 and Velto ASCII units at "
            "%3 (single sensor) and %4 (two-sensor unit), and a flash bootloader (\">B0\", \">B1\", "
            "\">B4\" and HEX records), until interrupted. A multi-sensor unit "
            "takes calibration messages; a line per message shows what it received. With "
            "--replay a recorded session is the far end instead.")
            .arg(sim::SensorSimulator::kFirstBusAddress)
            .arg(sim::SensorSimulator::kFirstBusAddress + sim::SensorSimulator::kBusSize - 1)
            .arg(sim::SensorSimulator::kAsciiSingleAddress)
            .arg(sim::SensorSimulator::kAsciiPairAddress));
    const QCommandLineOption menu(QStringLiteral("menu"),
        QStringLiteral("Start with the Modbus sensor at ADDR in its menu (repeatable)."),
        QStringLiteral("ADDR"));
    const QCommandLineOption taliq485(QStringLiteral("taliq485"),
        QStringLiteral("A Taliq485 on the line prints its debug output all the time (for 'debug capture')."));
    parser.addOption(menu);
    const ChanceOption chances[] = {
        { { QStringLiteral("silence"), QStringLiteral("Leave a reply out with probability P (0)."),
              QStringLiteral("P") },
            &sim::LineFaults::silence },
        { { QStringLiteral("short"), QStringLiteral("Cut a reply short with probability P (0)."),
              QStringLiteral("P") },
            &sim::LineFaults::shortReply },
        { { QStringLiteral("corrupt"), QStringLiteral("Change one byte of a reply with probability P (0)."),
              QStringLiteral("P") },
            &sim::LineFaults::corrupt },
        { { QStringLiteral("split"), QStringLiteral("Send a reply in two parts with probability P (0)."),
              QStringLiteral("P") },
            &sim::LineFaults::split },
        { { QStringLiteral("garbage"),
              QStringLiteral("Send random bytes before a reply with probability P (0)."),
              QStringLiteral("P") },
            &sim::LineFaults::garbage },
    };
    for (const ChanceOption& c : chances)
        parser.addOption(c.option);
    const IntOption late { { QStringLiteral("late"), QStringLiteral("Send every reply MS late (0)."),
                               QStringLiteral("MS") },
        0, kMaxLateMs, 0 };
    const IntOption seed { { QStringLiteral("seed"), QStringLiteral("Seed of the faults (1)."),
                               QStringLiteral("N") },
        0, std::numeric_limits<int>::max(), 1 };
    const QCommandLineOption echo(QStringLiteral("echo"),
        QStringLiteral("Send every byte the program sends straight back, as an RS-485 adapter that hears "
                       "its own transmitter does."));
    parser.addOption(late.option);
    parser.addOption(seed.option);
    parser.addOption(echo);
    parser.addOption(taliq485);
    const QCommandLineOption replay(QStringLiteral("replay"),
        QStringLiteral("Serve the session recorded in FILE (the traffic monitor's Save..., or --record) "
                       "instead of the simulated sensors."),
        QStringLiteral("FILE"));
    const QCommandLineOption speed(QStringLiteral("speed"),
        QStringLiteral("With --replay, play the recorded delays X times as fast (1); 0 answers at once."),
        QStringLiteral("X"));
    parser.addOption(replay);
    parser.addOption(speed);
    if (const int exit = parseOrExit(parser, args); exit >= 0)
        return exit;
    if (parser.isSet(replay))
        return runReplay(parser, replay, speed, args.value(0));
    if (parser.isSet(speed))
        return usageError(parser, args.value(0), QStringLiteral("--speed is for --replay"));

    sim::LineFaults faults;
    QString error;
    for (const ChanceOption& c : chances) {
        if (!parser.isSet(c.option))
            continue;
        const QString text = parser.value(c.option);
        const std::optional<double> p = parseRealNumber(text);
        if (!p || *p < 0 || *p > 1) {
            error = QStringLiteral("--%1 wants a probability from 0 to 1, not '%2'")
                        .arg(c.option.names().first(), text);
            continue;
        }
        faults.*c.field = *p;
    }
    const auto lateValue = intValue(parser, late, error);
    const auto seedValue = intValue(parser, seed, error);
    if (!error.isEmpty())
        return usageError(parser, args.value(0), error);
    faults.lateMs = *lateValue;
    faults.echo = parser.isSet(echo);

    QList<int> menuAddresses;
    for (const QString& text : parser.values(menu)) {
        const std::optional<qint64> address = parseWholeNumber(text);
        if (!address || *address < sim::SensorSimulator::kFirstBusAddress
            || *address >= sim::SensorSimulator::kFirstBusAddress + sim::SensorSimulator::kBusSize)
            return usageError(parser, args.value(0),
                QStringLiteral("--menu wants a sensor address from 1 to 5, not '%1'").arg(text));
        menuAddresses.append(int(*address));
    }

    sim::SimulatedLine line;
    if (!line.isValid()) {
        std::fprintf(
            stderr, "velto-cli: cannot create the simulated line: %s\n", qPrintable(line.errorText()));
        return kExitFailure;
    }
    for (int address : menuAddresses)
        line.setInMenu(address, true);
    line.setFaults(faults, quint32(*seedValue));
    if (parser.isSet(taliq485))
        line.startDebugOutput();
    sim::CalibrationUnit& unit = line.simulator().calibrationUnit();
    unit.onMessage = [&unit](QByteArrayView frame, bool accepted) {
        printLine(calibrationUnitLine(unit, frame, accepted));
    };

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
