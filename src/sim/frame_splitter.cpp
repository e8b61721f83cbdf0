#include "sim/frame_splitter.h"

#include "modbus/modbus_crc.h"
#include "sim/bootloader_responder.h"
#include "sim/calibration_unit.h"
#include "sim/radar_responder.h"
#include "sim/velto_ascii.h"

namespace velto::sim {

namespace {
constexpr quint8 kHighestRtuAddress = 247;
constexpr qsizetype kCrcSize = 2;
constexpr qsizetype kFixedRtuRequest = 8;
constexpr qsizetype kMultipleHeader = 7;
constexpr qsizetype kByteCountAt = 6;
constexpr qsizetype kShortestRtuFrame = 4; // address, function, CRC

// Requests whose length the function code fixes; anything else is found by its CRC.
qsizetype knownRtuLength(QByteArrayView bytes)
{
    switch (quint8(bytes[1])) {
    case 0x01: // read coils
    case 0x02: // read discrete inputs
    case 0x03: // read holding registers
    case 0x04: // read input registers
    case 0x05: // write single coil
    case 0x06: // write single register
        return kFixedRtuRequest;
    case 0x0F: // write multiple coils
    case 0x10: // write multiple registers
        if (bytes.size() <= kByteCountAt)
            return 0;
        return kMultipleHeader + quint8(bytes[kByteCountAt]) + kCrcSize;
    default:
        return -1;
    }
}

FrameSplitter::Scan scanAscii(QByteArrayView bytes)
{
    using S = FrameSplitter::Status;
    for (qsizetype i = 1; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == kVeltoEnd) {
            if (i + 1 < kVeltoRequestMinSize)
                return { S::Invalid, FrameSplitter::Kind::Ascii, 0 };
            return { S::Complete, FrameSplitter::Kind::Ascii, i + 1 };
        }
        if (c < '0' || c > '9' || i + 1 >= kVeltoRequestMaxSize)
            return { S::Invalid, FrameSplitter::Kind::Ascii, 0 };
    }
    return { S::NeedMore, FrameSplitter::Kind::Ascii, 0 };
}

FrameSplitter::Scan scanCalibration(QByteArrayView bytes)
{
    using S = FrameSplitter::Status;
    constexpr auto calibration = FrameSplitter::Kind::Calibration;
    if (bytes.size() < CalibrationUnit::kMessageSize)
        return { S::NeedMore, calibration, 0 };
    if (bytes[CalibrationUnit::kMessageSize - 1] != CalibrationUnit::kEnd)
        return { S::Invalid, calibration, 0 };
    return { S::Complete, calibration, CalibrationUnit::kMessageSize };
}

// 55 AA claims the bytes for the radar: no Modbus request has function 0xAA.
bool startsRadarFrame(QByteArrayView bytes)
{
    return bytes.size() >= 2 && quint8(bytes[0]) == radar_wire::kStart0
        && quint8(bytes[1]) == radar_wire::kStart1;
}

FrameSplitter::Scan scanRadar(QByteArrayView bytes)
{
    using S = FrameSplitter::Status;
    constexpr auto radar = FrameSplitter::Kind::Radar;
    if (bytes.size() < 3)
        return { S::NeedMore, radar, 0 };
    const qsizetype length = radar_wire::frameLength(quint8(bytes[2]));
    if (length == 0)
        return { S::Invalid, radar, 0 };
    if (bytes.size() < length)
        return { S::NeedMore, radar, 0 };
    return { S::Complete, radar, length };
}

FrameSplitter::Scan scanBootloader(QByteArrayView bytes)
{
    using S = FrameSplitter::Status;
    constexpr auto kind = FrameSplitter::Kind::Bootloader;
    const qsizetype length = BootloaderResponder::frameLength(bytes);
    if (length < 0)
        return { S::Invalid, kind, 0 };
    return { length == 0 ? S::NeedMore : S::Complete, kind, length };
}

FrameSplitter::Scan scanRtu(QByteArrayView bytes)
{
    using S = FrameSplitter::Status;
    constexpr auto rtu = FrameSplitter::Kind::Rtu;
    if (quint8(bytes[0]) > kHighestRtuAddress)
        return { S::Invalid, rtu, 0 };
    if (bytes.size() < 2)
        return { S::NeedMore, rtu, 0 };

    const qsizetype length = knownRtuLength(bytes);
    if (length == 0)
        return { S::NeedMore, rtu, 0 };
    if (length > 0) {
        if (bytes.size() < length)
            return { S::NeedMore, rtu, 0 };
        return modbus::hasValidModbusCrc(bytes.first(length))
            ? FrameSplitter::Scan { S::Complete, rtu, length }
            : FrameSplitter::Scan { S::Invalid, rtu, 0 };
    }

    // Unknown function: the first place where the running CRC matches the next two bytes.
    quint16 crc = modbus::modbusCrcStep(
        modbus::modbusCrcStep(modbus::kModbusCrcInitial, quint8(bytes[0])), quint8(bytes[1]));
    const qsizetype limit = std::min(bytes.size(), FrameSplitter::kMaxRtuFrame);
    for (qsizetype end = 2; end + kCrcSize <= limit; ++end) {
        if (end + kCrcSize >= kShortestRtuFrame && quint8(bytes[end]) == (crc & 0xFF)
            && quint8(bytes[end + 1]) == (crc >> 8))
            return { S::Complete, rtu, end + kCrcSize };
        crc = modbus::modbusCrcStep(crc, quint8(bytes[end]));
    }
    return bytes.size() >= FrameSplitter::kMaxRtuFrame ? FrameSplitter::Scan { S::Invalid, rtu, 0 }
                                                       : FrameSplitter::Scan { S::NeedMore, rtu, 0 };
}
} // namespace

FrameSplitter::Scan FrameSplitter::scan(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    if (startsRadarFrame(bytes))
        return scanRadar(bytes);
    if (BootloaderResponder::isFrameStart(bytes.front()))
        return scanBootloader(bytes);
    if (bytes.front() != kVeltoStart)
        return scanRtu(bytes);
    // Both start with '!': ASCII requests go on with digits, calibration messages with a letter.
    return bytes.size() > 1 && CalibrationUnit::isLetter(bytes[1]) ? scanCalibration(bytes)
                                                                   : scanAscii(bytes);
}

bool FrameSplitter::isCompleteAt(QByteArrayView bytes)
{
    const Scan s = scan(bytes);
    if (s.status != Status::Complete)
        return false;
    // An RTU frame has passed its CRC; the others must pass their checks to count as a resync point.
    switch (s.kind) {
    case Kind::Rtu:
        return true;
    case Kind::Ascii:
        return parseVeltoRequest(bytes.first(s.length)).has_value();
    case Kind::Calibration:
        return CalibrationUnit::parse(bytes.first(s.length)).has_value();
    case Kind::Radar:
        return radar_wire::isValidFrame(bytes.first(s.length));
    case Kind::Bootloader:
        return bytes.front() == BootloaderResponder::kCommandStart
            || checkHexRecord(bytes.first(s.length)).verdict == HexRecordCheck::Verdict::Ok;
    }
    return false;
}

QList<FrameSplitter::Frame> FrameSplitter::feed(QByteArrayView bytes)
{
    m_buffer.append(bytes.data(), bytes.size());
    QList<Frame> frames;
    while (!m_buffer.isEmpty()) {
        const Scan s = scan(m_buffer);
        if (s.status == Status::Complete) {
            frames.append({ s.kind, m_buffer.first(s.length) });
            m_buffer.remove(0, s.length);
            continue;
        }
        if (s.status == Status::Invalid) {
            m_buffer.remove(0, 1);
            continue;
        }
        // A partial frame (or the start of garbage) followed by a whole one: the whole one wins.
        qsizetype skip = 0;
        for (qsizetype i = 1; i < m_buffer.size(); ++i) {
            if (isCompleteAt(QByteArrayView(m_buffer).sliced(i))) {
                skip = i;
                break;
            }
        }
        if (skip == 0)
            break;
        m_buffer.remove(0, skip);
    }
    return frames;
}

} // namespace velto::sim
