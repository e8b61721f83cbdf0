#include "cli/cli_options.h"

#include "common/box_update.h"
#include "common/number_text.h"
#include "modbus/rtu_master.h"
#include "modbus/slave_address.h"
#include "serial/network_address.h"

#include <cstdio>
#include <limits>

namespace velto::cli {

std::optional<int> intValue(const QCommandLineParser& parser, const IntOption& spec, QString& error)
{
    if (!parser.isSet(spec.option))
        return spec.fallback;
    const QString text = parser.value(spec.option);
    const std::optional<qint64> value = parseWholeNumber(text);
    if (value && *value >= spec.min && *value <= spec.max)
        return int(*value);
    error = QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                .arg(spec.option.names().constLast())
                .arg(spec.min)
                .arg(spec.max)
                .arg(text);
    return std::nullopt;
}

std::optional<QString> portValue(
    const QCommandLineParser& parser, const QCommandLineOption& port, QString& error)
{
    const QString path = parser.value(port);
    if (path.trimmed().isEmpty()) {
        error = QStringLiteral("--port wants a serial device path");
        return std::nullopt;
    }
    if (serial::NetworkAddress::looksLikeOne(path) && !serial::NetworkAddress::parse(path)) {
        error = QStringLiteral("--port %1 is not a network address (expected %2)")
                    .arg(path, serial::kNetworkAddressForms);
        return std::nullopt;
    }
    return path;
}

QCommandLineOption portOption()
{
    return { QStringLiteral("port"),
        QStringLiteral("Serial device, e.g. /dev/ttyUSB0, or a serial device server: tcp://HOST:PORT, "
                       "rfc2217://HOST:PORT (Modbus commands also mbtcp://HOST:PORT)."),
        QStringLiteral("P") };
}

IntOption baudOption()
{
    return { { QStringLiteral("baud"), QStringLiteral("Baud rate (9600)."), QStringLiteral("B") }, 1,
        std::numeric_limits<int>::max(), kDefaultBaud };
}

IntOption slaveOption()
{
    return { { QStringLiteral("slave"), QStringLiteral("Modbus slave address, 1-247 (1)."),
                 QStringLiteral("ID") },
        modbus::kMinSlaveAddress, modbus::kMaxUnicastAddress, 1 };
}

IntOption rxTimeoutOption()
{
    return { { QStringLiteral("rx-timeout"), QStringLiteral("Receive time-out in ms, 1-30000 (1000)."),
                 QStringLiteral("MS") },
        modbus::RtuMaster::kMinTimeoutMs, modbus::RtuMaster::kMaxTimeoutMs,
        modbus::RtuMaster::kDefaultRxTimeoutMs };
}

QString lineSettings(int baud)
{
    return QStringLiteral("%1,n,8,1").arg(baud);
}

QString namedText(const QString& name, const QString& text)
{
    BoxUpdate update;
    update.objectName = name;
    update.text = text;
    return formatBoxUpdates({ update });
}

void printLine(const QString& line)
{
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printError(const QString& text)
{
    std::fprintf(stderr, "velto-cli: %s\n", qPrintable(text));
}

} // namespace velto::cli
