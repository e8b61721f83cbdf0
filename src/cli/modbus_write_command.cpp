#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/line_options.h"
#include "cli/signal_watcher.h"
#include "cli/trace.h"
#include "common/number_text.h"
#include "modbus/port_modbus_master.h"
#include "modbus/rtu_master.h"
#include "serial/tapped_byte_link.h"

#include <QCoreApplication>

#include <cstdio>
#include <limits>
#include <optional>

namespace velto::cli {

namespace {

constexpr int kMaxRegister = 0xFFFF;
constexpr int kMaxWriteCount = 123; // words in one Write Multiple Registers request

const QString kCommand = QStringLiteral("modbus write");

// Decimal or 0x-hexadecimal; negative values down to -32768 stand for their 16-bit pattern.
std::optional<quint16> parseWord(const QString& text)
{
    const std::optional<qint64> value = parseWholeNumber(text);
    if (!value || *value < std::numeric_limits<qint16>::min() || *value > std::numeric_limits<quint16>::max())
        return std::nullopt;
    return quint16(*value);
}

} // namespace

int runModbusWrite(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes holding registers of one Modbus RTU slave. One --value uses Write Single Register, several "
        "use Write Multiple Registers from --register on. Prints the status (0 success, 9 time-out, 12 "
        "device in configuration, others an exception or transport error) and the master's error text."));
    const LineOptions lineOptions(true);
    const IntOption slave = slaveOption();
    const IntOption reg { { QStringLiteral("register"), QStringLiteral("0-based register address."),
                              QStringLiteral("R") },
        0, kMaxRegister, -1 };
    const QCommandLineOption value(QStringLiteral("value"),
        QStringLiteral("Word to write, -32768..65535 (repeatable)."), QStringLiteral("V"));
    lineOptions.addTo(parser);
    for (const IntOption* o : { &slave, &reg })
        parser.addOption(o->option);
    parser.addOption(value);
    if (const int exit = parseOrExit(parser, args, kCommand); exit >= 0)
        return exit;
    if (!lineOptions.portGiven(parser) || !parser.isSet(reg.option))
        return usageError(parser, kCommand, QStringLiteral("--port and --register are required"));

    QString error;
    const auto lineChoice = lineOptions.read(parser, error);
    const auto slaveValue = intValue(parser, slave, error);
    const auto start = intValue(parser, reg, error);
    if (!error.isEmpty())
        return usageError(parser, kCommand, error);
    QList<quint16> words;
    for (const QString& text : parser.values(value)) {
        const std::optional<quint16> word = parseWord(text);
        if (!word)
            return usageError(parser, kCommand, QStringLiteral("bad --value '%1' (-32768..65535)").arg(text));
        words.append(*word);
    }
    if (words.isEmpty())
        return usageError(parser, kCommand, QStringLiteral("at least one --value is required"));
    if (words.size() > kMaxWriteCount || *start + words.size() - 1 > kMaxRegister)
        return usageError(parser, kCommand, QStringLiteral("too many values for one request"));

    CommandLine line(*lineChoice);
    modbus::RtuMaster rtuMaster(line.link());
    modbus::PortModbusMaster master(rtuMaster);
    traceModbus(master);
    if (!master.openPort(lineChoice->port, lineChoice->settings())) {
        printError(master.lastErrorText());
        return kExitFailure;
    }
    int exitCode = kExitFailure;
    auto done = [&exitCode](const modbus::ModbusResult& result) {
        std::printf("status %d: %s\n", result.status, qPrintable(result.errorText));
        exitCode = result.ok() ? kExitOk : kExitFailure;
        QCoreApplication::exit(exitCode);
    };
    // An interrupt closes the port: the write in flight ends as aborted, printed as any other status.
    SignalWatcher watcher;
    QObject::connect(
        &watcher, &SignalWatcher::terminationRequested, &master, [&master] { master.closePort(); });
    if (words.size() == 1)
        master.writeRegister(*slaveValue, *start, words.front(), &master, done);
    else
        master.writeRegisters(*slaveValue, *start, words, &master, done);
    QCoreApplication::exec();
    master.closePort();
    return exitCode;
}

} // namespace velto::cli
