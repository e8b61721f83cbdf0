#include "radar/monitoring_block.h"

#include "radar/radar_frame.h"

namespace velto::radar {

quint8 blockKind(MonitoringKind kind)
{
    return kind == MonitoringKind::Spectrum ? block::kSpectrumKind : block::kTimeDomainKind;
}

std::optional<MonitoringKind> kindOfBlock(quint8 kindByte)
{
    if (kindByte == block::kSpectrumKind)
        return MonitoringKind::Spectrum;
    if (kindByte == block::kTimeDomainKind)
        return MonitoringKind::TimeDomain;
    return std::nullopt;
}

std::optional<BlockHeader> readBlockHeader(QByteArrayView bytes, qsizetype at)
{
    if (at < 0 || at + block::kMoreAt >= bytes.size())
        return std::nullopt;
    const std::optional<MonitoringKind> kind = kindOfBlock(quint8(bytes[at]));
    const auto more = quint8(bytes[at + block::kMoreAt]);
    if (!kind || quint8(bytes[at + block::kMarkerAt]) != block::kMarker
        || (more != block::kMore && more != block::kLast))
        return std::nullopt;
    return BlockHeader { *kind, more == block::kLast };
}

bool blockChecksumOk(QByteArrayView block)
{
    if (block.size() <= block::kChecksumAt)
        return false;
    const auto stated = quint8(block[block::kChecksumAt]);
    return quint8(additiveChecksum(block) - stated) == stated;
}

} // namespace velto::radar
