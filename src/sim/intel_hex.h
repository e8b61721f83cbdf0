#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>

#include <optional>

namespace velto::sim {

// Intel HEX records as the bootloader checks them: ':' start code, byte count, 16-bit address,
// record type, data and a two's-complement checksum, all as hexadecimal digit pairs.
struct HexRecord {
    enum Type : quint8 {
        Data = 0x00,
        EndOfFile = 0x01,
        ExtendedSegmentAddress = 0x02,
        StartSegmentAddress = 0x03,
        ExtendedLinearAddress = 0x04,
        StartLinearAddress = 0x05,
    };
    quint8 type = Data;
    quint16 address = 0;
    QByteArray data;
};

struct HexRecordCheck {
    enum class Verdict { Ok, BadStartCode, BadLength, BadChecksum };
    Verdict verdict = Verdict::BadStartCode;
    HexRecord record; // valid only with Verdict::Ok
};

constexpr char kHexStartCode = ':';

// Characters of a whole record carrying dataLength data bytes.
constexpr qsizetype hexRecordSize(int dataLength)
{
    return 11 + 2 * qsizetype(dataLength);
}
// The value of the hexadecimal digit pair at pos; nullopt past the end or for other characters.
std::optional<quint8> hexPairAt(QByteArrayView text, qsizetype pos);

// Checks one record. Its length must be exactly what its byte count says.
HexRecordCheck checkHexRecord(QByteArrayView line);
QByteArray buildHexRecord(quint8 type, quint16 address, QByteArrayView data);

// Flash contents as the records put them: data records at their full address after the extended
// segment and linear address records.
class FlashImage {
public:
    void apply(const HexRecord& record);
    void clear();
    const QMap<quint32, quint8>& bytes() const { return m_bytes; }

private:
    QMap<quint32, quint8> m_bytes;
    quint32 m_base = 0;
};

// The image a whole file describes; nullopt when a line is not a valid record.
std::optional<QMap<quint32, quint8>> hexFileImage(const QList<QByteArray>& lines);

// A firmware file of exactly lineCount lines (16 data bytes a line, an extended linear address
// record at each 64 KiB, the end-of-file record last), its bytes drawn from seed. CR LF line ends.
QByteArray sampleHexFile(int lineCount, quint32 seed = 1);

} // namespace velto::sim
