#include "sim/intel_hex.h"

#include <QRandomGenerator>

namespace velto::sim {

namespace {
constexpr int kSampleLineBytes = 16;
constexpr quint32 kSegmentSize = 0x10000;
} // namespace

HexRecordCheck checkHexRecord(QByteArrayView line)
{
    using V = HexRecordCheck::Verdict;
    HexRecordCheck out;
    if (line.isEmpty() || line.front() != kHexStartCode)
        return out;
    const auto count = hexPairAt(line, flash::kHexCountAt);
    if (!count || line.size() != hexRecordSize(*count)) {
        out.verdict = V::BadLength;
        return out;
    }
    out.verdict = V::BadChecksum;
    const auto bytes = flash::hexRecordBytes(line);
    if (!bytes || flash::hexRecordSum(*bytes) != 0)
        return out;
    out.verdict = V::Ok;
    out.record.address = quint16((quint8(bytes->at(1)) << 8) | quint8(bytes->at(2)));
    out.record.type = quint8(bytes->at(3));
    out.record.data = bytes->mid(4, *count);
    return out;
}

void FlashImage::apply(const HexRecord& record)
{
    switch (record.type) {
    case HexRecord::Data:
        for (qsizetype i = 0; i < record.data.size(); ++i)
            m_bytes[m_base + record.address + quint32(i)] = quint8(record.data[i]);
        return;
    case HexRecord::ExtendedSegmentAddress:
    case HexRecord::ExtendedLinearAddress:
        if (record.data.size() == 2) {
            const quint32 value = (quint8(record.data[0]) << 8) | quint8(record.data[1]);
            m_base = record.type == HexRecord::ExtendedLinearAddress ? value << 16 : value << 4;
        }
        return;
    default:
        return;
    }
}

void FlashImage::clear()
{
    m_bytes.clear();
    m_base = 0;
}

std::optional<QMap<quint32, quint8>> hexFileImage(const QList<QByteArray>& lines)
{
    FlashImage image;
    for (const QByteArray& line : lines) {
        const HexRecordCheck check = checkHexRecord(line);
        if (check.verdict != HexRecordCheck::Verdict::Ok)
            return std::nullopt;
        image.apply(check.record);
    }
    return image.bytes();
}

QByteArray sampleHexFile(int lineCount, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray file;
    const auto addLine = [&file](const QByteArray& record) { file += record + "\r\n"; };
    quint32 address = 0;
    for (int line = 1; line < lineCount; ++line) {
        if (address % kSegmentSize == 0) {
            const quint16 upper = quint16(address >> 16);
            const char value[2] = { char(upper >> 8), char(upper & 0xFF) };
            addLine(buildHexRecord(HexRecord::ExtendedLinearAddress, 0, QByteArrayView(value, 2)));
            if (++line >= lineCount)
                break;
        }
        QByteArray data(kSampleLineBytes, Qt::Uninitialized);
        for (char& b : data)
            b = char(random.bounded(256));
        addLine(buildHexRecord(HexRecord::Data, quint16(address & 0xFFFF), data));
        address += kSampleLineBytes;
    }
    if (lineCount > 0)
        addLine(buildHexRecord(HexRecord::EndOfFile, 0, {}));
    return file;
}

} // namespace velto::sim
