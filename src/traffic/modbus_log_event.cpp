#include "traffic/modbus_log_event.h"

namespace velto::traffic {

namespace {

constexpr QStringView kClient = u"(RTU client) ";

struct Prefix {
    QStringView text;
    ModbusLogEvent::Kind kind;
};

constexpr Prefix kPrefixes[] = {
    { u"Sent Serial ADU:", ModbusLogEvent::Kind::Sent },
    { u"Response buffer:", ModbusLogEvent::Kind::ResponseBuffer },
    { u"Received ADU:", ModbusLogEvent::Kind::Received },
    { u"Pending buffer:", ModbusLogEvent::Kind::PendingBuffer },
    { u"Receive timeout:", ModbusLogEvent::Kind::ReceiveTimeout },
};

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// `0x0103`, `"0103"` or plain `0103`: the bytes, or empty when it is not an even run of hex digits.
std::optional<QByteArray> hexField(QStringView text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"')
        text = text.sliced(1, text.size() - 2);
    if (text.startsWith(u"0x"))
        text = text.sliced(2);
    if (text.size() % 2 != 0)
        return std::nullopt;
    for (QChar c : text) {
        if (!isHexDigit(c))
            return std::nullopt;
    }
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace

std::optional<ModbusLogEvent> parseModbusLogMessage(QStringView message)
{
    if (!message.startsWith(kClient))
        return std::nullopt;
    const QStringView rest = message.sliced(kClient.size());
    for (const Prefix& p : kPrefixes) {
        if (!rest.startsWith(p.text))
            continue;
        if (p.kind == ModbusLogEvent::Kind::ReceiveTimeout)
            return ModbusLogEvent { p.kind, {} };
        const std::optional<QByteArray> bytes = hexField(rest.sliced(p.text.size()));
        if (!bytes)
            return std::nullopt;
        return ModbusLogEvent { p.kind, *bytes };
    }
    return std::nullopt;
}

} // namespace velto::traffic
