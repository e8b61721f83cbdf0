#pragma once

#include <QString>
#include <optional>

namespace velto::serial {

// How a line reached over the network carries its bytes.
enum class NetworkKind {
    Raw, // a serial device server passing the line's bytes as they are
    Rfc2217, // telnet with COM-port control: the server sets baud rate, framing and RTS for us
    ModbusTcp, // a Modbus TCP device or gateway: MBAP framing, no byte protocols
};

// A line over the network as the port box and --port spell it: "tcp://host:port",
// "rfc2217://host:port" or "mbtcp://host:port"; IPv6 hosts in brackets ("tcp://[::1]:4001").
struct NetworkAddress {
    NetworkKind kind = NetworkKind::Raw;
    QString host;
    quint16 port = 0;

    // The address, or nothing when the text is not one of the accepted forms.
    static std::optional<NetworkAddress> parse(const QString& text);
    // True when the text starts like a network address (a scheme and "://"), right or wrong: such a
    // text is never a serial device path.
    static bool looksLikeOne(const QString& text);
    static QString schemeOf(NetworkKind kind);

    QString toString() const;
    // "host:port" as a person reads it, brackets kept for IPv6.
    QString endpoint() const;
};

// For messages about a refused address.
inline const QString kNetworkAddressForms
    = QStringLiteral("tcp://HOST:PORT, rfc2217://HOST:PORT or mbtcp://HOST:PORT");

} // namespace velto::serial
