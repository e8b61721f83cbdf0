#include "serial/network_address.h"

#include <QHostAddress>

namespace velto::serial {

namespace {

constexpr auto kSeparator = "://";

std::optional<NetworkKind> kindOf(const QString& scheme)
{
    const QString lower = scheme.toLower();
    if (lower == QLatin1String("tcp"))
        return NetworkKind::Raw;
    if (lower == QLatin1String("rfc2217"))
        return NetworkKind::Rfc2217;
    if (lower == QLatin1String("mbtcp"))
        return NetworkKind::ModbusTcp;
    return std::nullopt;
}

bool isHostName(const QString& host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    for (const QChar c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != '-' && c != '.' && c != '_')
            return false;
    }
    return true;
}

} // namespace

std::optional<NetworkAddress> NetworkAddress::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    const qsizetype separator = trimmed.indexOf(QLatin1String(kSeparator));
    if (separator <= 0)
        return std::nullopt;
    const std::optional<NetworkKind> kind = kindOf(trimmed.left(separator));
    if (!kind)
        return std::nullopt;
    const QString rest = trimmed.mid(separator + 3);

    QString host;
    QString portText;
    if (rest.startsWith('[')) {
        const qsizetype close = rest.indexOf(']');
        if (close < 0 || rest.mid(close + 1, 1) != QLatin1String(":"))
            return std::nullopt;
        host = rest.mid(1, close - 1);
        portText = rest.mid(close + 2);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
    } else {
        const qsizetype colon = rest.lastIndexOf(':');
        if (colon <= 0)
            return std::nullopt;
        host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (!isHostName(host))
            return std::nullopt;
    }
    // Digits only: toUInt would take "+7" and " 7".
    if (portText.isEmpty() || portText.size() > 5)
        return std::nullopt;
    for (const QChar c : portText) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const uint port = portText.toUInt();
    if (port == 0 || port > 65535)
        return std::nullopt;
    return NetworkAddress { *kind, host, quint16(port) };
}

bool NetworkAddress::looksLikeOne(const QString& text)
{
    const QString trimmed = text.trimmed();
    const qsizetype separator = trimmed.indexOf(QLatin1String(kSeparator));
    if (separator <= 0)
        return false;
    for (const QChar c : trimmed.left(separator)) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            return false;
    }
    return true;
}

QString NetworkAddress::schemeOf(NetworkKind kind)
{
    switch (kind) {
    case NetworkKind::Raw:
        return QStringLiteral("tcp");
    case NetworkKind::Rfc2217:
        return QStringLiteral("rfc2217");
    case NetworkKind::ModbusTcp:
        return QStringLiteral("mbtcp");
    }
    return {};
}

QString NetworkAddress::endpoint() const
{
    const QString shownHost = host.contains(':') ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1:%2").arg(shownHost).arg(port);
}

QString NetworkAddress::toString() const
{
    return schemeOf(kind) + QLatin1String(kSeparator) + endpoint();
}

} // namespace velto::serial
