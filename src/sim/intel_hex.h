#pragma once

#include "flash/hex_record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>

#include <optional>

namespace velto::sim {

// The record format is the flash burner's own; the bootloader reads it with the same definitions.
using flash::buildHexRecord;
using flash::hexPairAt;
using flash::HexRecord;
using flash::hexRecordSize;
using flash::kHexStartCode;

struct HexRecordCheck {
    enum class Verdict { Ok, BadStartCode, BadLength, BadChecksum };
    Verdict verdict = Verdict::BadStartCode;
    HexRecord record; // valid only with Verdict::Ok
};

// Checks one record. Its length must be exactly what its byte count says.
HexRecordCheck checkHexRecord(QByteArrayView line);

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
