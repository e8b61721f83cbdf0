#include "flash/hex_record.h"

namespace velto::flash {

namespace {
constexpr int kHexBase = 16;

std::optional<int> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return std::nullopt;
}
} // namespace

std::optional<quint8> hexPairAt(QByteArrayView text, qsizetype pos)
{
    if (pos < 0 || pos + 1 >= text.size())
        return std::nullopt;
    const auto high = hexDigit(text[pos]);
    const auto low = hexDigit(text[pos + 1]);
    if (!high || !low)
        return std::nullopt;
    return quint8(*high * kHexBase + *low);
}

std::optional<QByteArray> hexRecordBytes(QByteArrayView line)
{
    if ((line.size() - kHexCountAt) % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve((line.size() - kHexCountAt) / 2);
    for (qsizetype at = kHexCountAt; at < line.size(); at += 2) {
        const auto value = hexPairAt(line, at);
        if (!value)
            return std::nullopt;
        bytes.append(char(*value));
    }
    return bytes;
}

quint8 hexRecordSum(QByteArrayView recordBytes)
{
    quint8 sum = 0;
    for (char b : recordBytes)
        sum = quint8(sum + quint8(b));
    return sum;
}

std::optional<int> dataSizeOfType(quint8 type)
{
    switch (type) {
    case HexRecord::EndOfFile:
        return 0;
    case HexRecord::ExtendedSegmentAddress:
    case HexRecord::ExtendedLinearAddress:
        return 2;
    case HexRecord::StartSegmentAddress:
    case HexRecord::StartLinearAddress:
        return 4;
    default:
        return std::nullopt;
    }
}

QString hexRecordTypeName(quint8 type)
{
    switch (type) {
    case HexRecord::Data:
        return QStringLiteral("data");
    case HexRecord::EndOfFile:
        return QStringLiteral("end of file");
    case HexRecord::ExtendedSegmentAddress:
        return QStringLiteral("extended segment address");
    case HexRecord::StartSegmentAddress:
        return QStringLiteral("start segment address");
    case HexRecord::ExtendedLinearAddress:
        return QStringLiteral("extended linear address");
    case HexRecord::StartLinearAddress:
        return QStringLiteral("start linear address");
    default:
        return QStringLiteral("unknown type");
    }
}

QByteArray buildHexRecord(quint8 type, quint16 address, QByteArrayView data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data.data(), data.size());
    bytes.append(char(quint8(-hexRecordSum(bytes))));
    return kHexStartCode + bytes.toHex().toUpper();
}

} // namespace velto::flash
