#include "support/radar_bytes.h"

#include "radar/monitoring_block.h"
#include "sim/radar_responder.h"

namespace velto::test {

namespace {
using namespace sim::radar_wire;
using radar::kBlockPayload;
using radar::kBlockSize;
constexpr qsizetype kSelectorAt = 17;
constexpr qsizetype kTankHeightAt = 8;
constexpr quint8 kSetParametersSelector = 0x40;
constexpr qsizetype kStatusReply = 13;
constexpr qsizetype kSignalToNoiseAt = 11;

// The frame's last byte: the sum of those before it.
QByteArray withSum(QByteArray bytes)
{
    bytes[bytes.size() - 1] = char(radarSum(QByteArrayView(bytes).first(bytes.size() - 1)));
    return bytes;
}
} // namespace

quint8 radarSum(QByteArrayView bytes)
{
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    return sum;
}

QByteArray radarCommandFrame(quint8 code, quint8 selector, int tankHeightMm)
{
    const bool longFrame = code == kMonitoring || code == kSetParameters;
    QByteArray f(longFrame ? kLongFrame : kShortFrame, '\0');
    f[0] = char(kStart0);
    f[1] = char(kStart1);
    f[2] = char(code);
    if (code == kSetParameters) {
        f[kTankHeightAt] = char(tankHeightMm & 0xFF);
        f[kTankHeightAt + 1] = char(tankHeightMm >> 8);
        f[kSelectorAt] = char(kSetParametersSelector);
    } else if (code == kMonitoring) {
        f[kSelectorAt] = char(selector);
    }
    return withSum(f);
}

QByteArray radarStatusReply(quint8 code, quint32 tenthsOfMm, quint8 signalToNoise)
{
    QByteArray r(kStatusReply, '\0');
    r[0] = char(kStart0);
    r[1] = char(kStart1);
    r[2] = char(code);
    for (int i = 0; i < 4; ++i)
        r[3 + i] = char((tenthsOfMm >> (8 * i)) & 0xFF);
    r[kSignalToNoiseAt] = char(signalToNoise);
    return withSum(r);
}

QByteArray radarBlock(quint8 kind, bool last, QByteArrayView payload)
{
    QByteArray block = QByteArray(1, char(kind)) + '\0' + char(radar::block::kMarker)
        + char(last ? radar::block::kLast : radar::block::kMore) + payload.first(kBlockPayload).toByteArray();
    mendBlockChecksum(block, 0);
    return block;
}

QByteArray radarBlocks(quint8 kind, QByteArrayView payload)
{
    QByteArray out;
    const qsizetype count = payload.size() / kBlockPayload;
    for (qsizetype b = 0; b < count; ++b)
        out += radarBlock(kind, b + 1 == count, payload.sliced(b * kBlockPayload, kBlockPayload));
    return out;
}

QByteArray radarBlocks(quint8 kind, int count)
{
    QByteArray payload(count * kBlockPayload, '\0');
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char((i / kBlockPayload + 4 + i % kBlockPayload) & 0xFF);
    return radarBlocks(kind, payload);
}

void mendBlockChecksum(QByteArray& reply, qsizetype at)
{
    reply[at + radar::block::kChecksumAt] = 0;
    reply[at + radar::block::kChecksumAt] = char(radarSum(QByteArrayView(reply).sliced(at, kBlockSize)));
}

bool blockChecksumsHold(QByteArrayView reply)
{
    for (qsizetype at = 0; at + kBlockSize <= reply.size(); at += kBlockSize) {
        const QByteArrayView block = reply.sliced(at, kBlockSize);
        if (quint8(radarSum(block) - quint8(block[radar::block::kChecksumAt]))
            != quint8(block[radar::block::kChecksumAt]))
            return false;
    }
    return true;
}

} // namespace velto::test
