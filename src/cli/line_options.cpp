#include "cli/line_options.h"

#include "cli/record.h"
#include "cli/trace.h"
#include "serial/network_address.h"
#include "serial/port_link.h"
#include "serial/tapped_byte_link.h"

namespace velto::cli {

QString LineChoice::settings() const
{
    return lineSettings(baud);
}

LineOptions::LineOptions(bool modbusTcp)
    : m_port(portOption())
    , m_baud(baudOption())
    , m_removeEcho(QStringLiteral("remove-echo"),
          QStringLiteral("Skip our own frames coming back first (RS-485 adapters that echo what is sent)."))
    , m_record(QStringLiteral("record"),
          QStringLiteral("Write the line traffic to FILE as a session, which 'sim --replay' serves."),
          QStringLiteral("FILE"))
    , m_modbusTcp(modbusTcp)
{
}

void LineOptions::addTo(QCommandLineParser& parser) const
{
    parser.addOption(m_port);
    parser.addOption(m_baud.option);
    parser.addOption(m_removeEcho);
    parser.addOption(m_record);
}

bool LineOptions::portGiven(const QCommandLineParser& parser) const
{
    return parser.isSet(m_port);
}

std::optional<LineChoice> LineOptions::read(const QCommandLineParser& parser, QString& error) const
{
    QString why;
    const std::optional<QString> port = portValue(parser, m_port, why);
    const std::optional<int> baud = intValue(parser, m_baud, why);
    if (parser.isSet(m_record) && parser.value(m_record).trimmed().isEmpty())
        why = QStringLiteral("--record wants a file name");
    if (!port || !baud || !why.isEmpty()) {
        error = why;
        return std::nullopt;
    }
    if (const auto address = serial::NetworkAddress::parse(*port);
        !m_modbusTcp && address && address->kind == serial::NetworkKind::ModbusTcp) {
        error = QStringLiteral("--port %1 is Modbus TCP, which carries only the modbus commands: use "
                               "tcp://HOST:PORT or rfc2217://HOST:PORT for a serial device server")
                    .arg(*port);
        return std::nullopt;
    }
    return LineChoice { *port, *baud, parser.isSet(m_removeEcho), parser.value(m_record) };
}

CommandLine::CommandLine(LineChoice choice, traffic::Protocol only, bool traceRows)
    : m_choice(std::move(choice))
    , m_port(std::make_unique<serial::PortLink>())
    , m_link(std::make_unique<serial::TappedByteLink>(*m_port))
{
    m_link->setRemoveEcho(m_choice.removeEcho);
    if (traceRows)
        traceLine(*m_link, only);
    if (!m_choice.recordPath.isEmpty()) {
        m_recordFailed = !startRecording(m_choice.recordPath, m_choice.port, m_choice.settings());
        recordLine(*m_link, only);
    }
}

CommandLine::~CommandLine()
{
    // The tap goes before the port it wraps.
    m_link.reset();
}

bool CommandLine::open()
{
    if (m_recordFailed)
        return false;
    if (m_link->open(m_choice.port, m_choice.settings()))
        return true;
    printError(m_link->errorText());
    return false;
}

} // namespace velto::cli
