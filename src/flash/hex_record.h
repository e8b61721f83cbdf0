#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velto::flash {

// One Intel HEX record: ':' start code, byte count, 16-bit address, record type, data and a
// two's-complement checksum, all as hexadecimal digit pairs.
struct HexRecord {
    enum Type : quint8 {
        Data = 0x00,
        EndOfFile = 0x01,
        ExtendedSegmentAddress = 0x02,
        StartSegmentAddress = 0x03,
        ExtendedLinearAddress = 0x04,
        StartLinearAddress = 0x05,
    };
    static constexpr quint8 kLastKnownType = StartLinearAddress;

    quint8 type = Data;
    quint16 address = 0;
    QByteArray data;
};

constexpr char kHexStartCode = ':';
// Where the digit pairs of a record's fields start.
constexpr qsizetype kHexCountAt = 1;
constexpr qsizetype kHexAddressAt = 3;
constexpr qsizetype kHexTypeAt = 7;

// Characters of a whole record carrying dataLength data bytes.
constexpr qsizetype hexRecordSize(int dataLength)
{
    return 11 + 2 * qsizetype(dataLength);
}

// The value of the hexadecimal digit pair at pos; nothing past the end or for other characters.
std::optional<quint8> hexPairAt(QByteArrayView text, qsizetype pos);
// The bytes the digit pairs after the start code stand for (count, address, type, data, checksum);
// nothing when a character is no hexadecimal digit or the last digit has no pair.
std::optional<QByteArray> hexRecordBytes(QByteArrayView line);
// The 8-bit sum of a record's bytes, its checksum included: 0 for a sound record.
quint8 hexRecordSum(QByteArrayView recordBytes);
// The data bytes a record of this type carries; nothing where any count will do (data, or a type
// of no record).
std::optional<int> dataSizeOfType(quint8 type);
// "data", "end of file" and so on; "unknown type" past the last known type.
QString hexRecordTypeName(quint8 type);

QByteArray buildHexRecord(quint8 type, quint16 address, QByteArrayView data);

} // namespace velto::flash
