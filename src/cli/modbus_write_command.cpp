#include "cli/commands.h"
#include "modbus/qt_modbus_master.h"

#include <QCoreApplication>

#include <cstdio>
#include <limits>
#include <optional>

namespace velto::cli {

namespace {

constexpr int kDefaultBaud = 9600;
constexpr int kDefaultSlave = 1;
constexpr int kMinSlave = 1;
constexpr int kMaxSlave = 247;
constexpr int kMaxRegister = 0xFFFF;
constexpr int kMaxWriteCount = 123; // words in one Write Multiple Registers request

const QString kCommand = QStringLiteral("modbus write");

// Decimal or 0x-hexadecimal; negative values down to -32768 stand for their 16-bit pattern.
std::optional<quint16> parseWord(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 0);
    if (!ok || value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<quint16>::max())
        return std::nullopt;
    return quint16(value);
}

std::optional<int> parseInt(const QString& text, int min, int max)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 0);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

int runWrite(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes holding registers of one Modbus RTU slave. One --value uses Write Single Register, several "
        "use "
        "Write Multiple Registers from --register on. Prints the status (0 success, 9 time-out, 12 device in "
        "configuration, others an exception or transport error) and the master's error text."));
    const QCommandLineOption port(
        QStringLiteral("port"), QStringLiteral("Serial device to open."), QStringLiteral("P"));
    const QCommandLineOption baud(QStringLiteral("baud"),
        QStringLiteral("Baud rate (default 9600), 8 data bits, no parity, 1 stop bit."),
        QStringLiteral("BAUD"), QString::number(kDefaultBaud));
    const QCommandLineOption slave(QStringLiteral("slave"),
        QStringLiteral("Slave address 1..247 (default 1)."), QStringLiteral("ID"),
        QString::number(kDefaultSlave));
    const QCommandLineOption reg(
        QStringLiteral("register"), QStringLiteral("0-based register address."), QStringLiteral("R"));
    const QCommandLineOption value(
        QStringLiteral("value"), QStringLiteral("Word to write (repeatable)."), QStringLiteral("V"));
    parser.addOptions({ port, baud, slave, reg, value });
    if (const int exit = parseOrExit(parser, args, kCommand); exit >= 0)
        return exit;
    if (!parser.isSet(port) || parser.value(port).isEmpty())
        return usageError(parser, kCommand, QStringLiteral("--port is required"));
    const std::optional<int> baudRate = parseInt(parser.value(baud), 1, std::numeric_limits<int>::max());
    if (!baudRate)
        return usageError(parser, kCommand, QStringLiteral("bad --baud '%1'").arg(parser.value(baud)));
    const std::optional<int> slaveId = parseInt(parser.value(slave), kMinSlave, kMaxSlave);
    if (!slaveId)
        return usageError(
            parser, kCommand, QStringLiteral("--slave wants 1 to 247, not '%1'").arg(parser.value(slave)));
    if (!parser.isSet(reg))
        return usageError(parser, kCommand, QStringLiteral("--register is required"));
    const std::optional<int> start = parseInt(parser.value(reg), 0, kMaxRegister);
    if (!start)
        return usageError(parser, kCommand, QStringLiteral("bad --register '%1'").arg(parser.value(reg)));
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

    modbus::QtModbusMaster master;
    if (!master.openPort(parser.value(port), QStringLiteral("%1,n,8,1").arg(*baudRate))) {
        std::fprintf(stderr, "velto-cli: %s\n", qPrintable(master.lastErrorText()));
        return kExitFailure;
    }
    int exitCode = kExitFailure;
    auto done = [&exitCode](const modbus::ModbusResult& result) {
        std::printf("status %d: %s\n", result.status, qPrintable(result.errorText));
        exitCode = result.ok() ? kExitOk : kExitFailure;
        QCoreApplication::exit(exitCode);
    };
    if (words.size() == 1)
        master.writeRegister(*slaveId, *start, words.front(), &master, done);
    else
        master.writeRegisters(*slaveId, *start, words, &master, done);
    QCoreApplication::exec();
    master.closePort();
    return exitCode;
}

} // namespace

int runModbus(const QStringList& args)
{
    const QString action = args.value(1);
    if (action == QLatin1String("write"))
        return runWrite(QStringList { kCommand } + args.mid(2));
    std::fprintf(stderr,
        "velto-cli: unknown modbus action '%s'\n\nUsage: velto-cli modbus write --port P [--baud 9600] "
        "[--slave 1] --register R --value V [--value V ...]\n",
        qPrintable(action));
    return action == QLatin1String("--help") || action == QLatin1String("-h") ? kExitOk : kExitUsage;
}

} // namespace velto::cli
