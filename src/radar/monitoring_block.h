#pragma once

#include "radar/radar_command.h"

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace velto::radar {

// A Monitoring reply comes as 68-byte blocks: the data kind, a checksum, a marker, whether more
// blocks follow, then 64 bytes of data.
constexpr qsizetype kBlockSize = 68;
constexpr qsizetype kBlockPayload = 64;
constexpr qsizetype kBlockHeader = kBlockSize - kBlockPayload;

namespace block {
constexpr quint8 kSpectrumKind = 0x3C;
constexpr quint8 kTimeDomainKind = 0xC3;
constexpr quint8 kMarker = 0x44;
constexpr quint8 kMore = 0x40;
constexpr quint8 kLast = 0x00;
constexpr qsizetype kChecksumAt = 1;
constexpr qsizetype kMarkerAt = 2;
constexpr qsizetype kMoreAt = 3;
} // namespace block

quint8 blockKind(MonitoringKind kind);
// The data kind a block's first byte names; nothing for any other byte.
std::optional<MonitoringKind> kindOfBlock(quint8 kindByte);

// What the header at `at` says: its kind and whether it is the last block. Nothing unless the four
// bytes are there and are a block's header (a kind, the marker, more or last).
struct BlockHeader {
    MonitoringKind kind = MonitoringKind::Spectrum;
    bool last = false;
};
std::optional<BlockHeader> readBlockHeader(QByteArrayView bytes, qsizetype at = 0);

// The checksum byte of a whole block is the 8-bit sum of its other 67 bytes.
bool blockChecksumOk(QByteArrayView block);

} // namespace velto::radar
