#include "radar/monitoring_reply.h"

#include "radar/radar_frame.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace velto::radar {

namespace {
constexpr int kBytesPerSample = 2;
constexpr int kSamplesPerBlock = int(kBlockPayload) / kBytesPerSample;

bool headerAt(QByteArrayView b, qsizetype i, MonitoringKind kind, bool last)
{
    const std::optional<BlockHeader> header = readBlockHeader(b, i);
    return header && header->kind == kind && header->last == last;
}

QString tooShortText(MonitoringKind kind)
{
    return QStringLiteral("Receive Buffer Length Too Short Smaller Then %1 Bytes").arg(replySize(kind));
}

// Whole blocks, one after another up to a last block, but not as many as the kind has.
QString unequalBlocksText(MonitoringKind kind)
{
    return kind == MonitoringKind::Spectrum
        ? QStringLiteral("Incorrect Number Of Blocks (Unequal To 63 Blocks)")
        : QStringLiteral("Incorrect Number Of Blocks");
}

MonitoringReply failure(MonitoringReply::Outcome outcome, const QString& text, int block = 0)
{
    MonitoringReply r;
    r.outcome = outcome;
    r.logText = text;
    r.failedBlock = block;
    return r;
}

qint32 sampleAt(const QByteArray& payload, qsizetype offset)
{
    return qint32(quint8(payload[offset])) << 8 | quint8(payload[offset + 1]);
}

// Where the stream of blocks lies in the buffer: its first block and its last.
struct Stream {
    qsizetype first = 0;
    qsizetype last = 0;
};

// The first whole last block a stream starting at `start` reaches, looked for only where a block can
// start, so payload bytes that happen to read like a header never cut the stream short.
std::optional<qsizetype> lastBlockFrom(QByteArrayView buffer, qsizetype start, MonitoringKind kind)
{
    for (qsizetype at = start + kBlockSize; at + kBlockSize <= buffer.size(); at += kBlockSize) {
        if (headerAt(buffer, at, kind, true))
            return at;
    }
    return std::nullopt;
}

// The stream starts at the first block header that leads to a whole last block; noise that happens
// to read like a header leads nowhere and is passed over. A block repeated before the stream is no
// noise: it makes one block too many.
std::optional<Stream> findStream(QByteArrayView buffer, MonitoringKind kind)
{
    for (qsizetype i = 0; i + block::kMoreAt < buffer.size(); ++i) {
        if (!headerAt(buffer, i, kind, false))
            continue;
        if (const std::optional<qsizetype> last = lastBlockFrom(buffer, i, kind))
            return Stream { i, *last };
    }
    return std::nullopt;
}

// The failure of the stream's blocks: too many or too few, a wrong header or checksum, or blocks of
// the kind after the last one; nothing when the stream is one whole reply.
std::optional<MonitoringReply> checkBlocks(QByteArrayView buffer, MonitoringKind kind, const Stream& stream)
{
    using O = MonitoringReply::Outcome;
    const int blocks = blockCount(kind);
    const auto [first, last] = stream;
    if ((last + kBlockSize - first) != blocks * kBlockSize) {
        bool unbroken = true;
        for (qsizetype i = first; i < last && unbroken; i += kBlockSize)
            unbroken = headerAt(buffer, i, kind, false);
        return failure(O::WrongBlockCount,
            unbroken ? unequalBlocksText(kind) : QStringLiteral("Incorrect Number Of Blocks"));
    }

    int counted = 0;
    for (qsizetype i = first; i <= last; i += kBlockSize) {
        const QByteArrayView one = buffer.sliced(i, kBlockSize);
        if (counted == blocks - 1) {
            if (!headerAt(buffer, i, kind, true))
                return failure(O::WrongLastHeader, QStringLiteral("Incorrect Last Header Block"));
            if (!blockChecksumOk(one))
                return failure(
                    O::WrongLastChecksum, QStringLiteral("Incorrect CheckSum Monitoring In Last Block"));
            continue;
        }
        if (!headerAt(buffer, i, kind, false))
            return failure(O::WrongHeader,
                QStringLiteral("Incorrect Header Block Number %1").arg(counted + 1), counted + 1);
        ++counted;
        if (!blockChecksumOk(one))
            return failure(O::WrongChecksum,
                QStringLiteral("Incorrect CheckSum Monitoring In Block Number %1").arg(counted), counted);
    }
    if (counted != blocks - 1)
        return failure(O::WrongBlockCount, unequalBlocksText(kind));
    // A whole block of the kind after the last one: the reply came twice, or with blocks to spare.
    const qsizetype after = last + kBlockSize;
    if (after + kBlockSize <= buffer.size()
        && (headerAt(buffer, after, kind, false) || headerAt(buffer, after, kind, true)))
        return failure(O::WrongBlockCount, unequalBlocksText(kind));
    return std::nullopt;
}

// The first and one-past-last 0-based block of a range, clipped to the reply.
std::pair<int, int> clippedBlocks(BlockRange range, int blocks)
{
    const int from = std::clamp(range.start, 1, blocks) - 1;
    return { from, std::clamp(range.end, from + 1, blocks) };
}

// The samples of the RAW range, those that go to the files, and their smallest and largest.
void takeRawSamples(MonitoringReply& r, BlockRange raw, int blocks)
{
    const auto [from, to] = clippedBlocks(raw, blocks);
    r.rawSamples.reserve((to - from) * kSamplesPerBlock);
    for (qsizetype o = from * kBlockPayload; o < to * kBlockPayload; o += kBytesPerSample)
        r.rawSamples.append(sampleAt(r.payload, o));
    r.rawFileSamples.reserve(kFileSamples);
    for (int s = 0; s < kFileSamples; ++s)
        r.rawFileSamples.append(sampleAt(r.payload, qsizetype(kFileSamplesFirst + s) * kBytesPerSample));
    const auto [lo, hi] = std::minmax_element(r.rawFileSamples.cbegin(), r.rawFileSamples.cend());
    r.rawMin = *lo;
    r.rawMax = *hi;
}

// An accepted reply: the stream's hex dump, its payload without the block headers, and the arrays
// the graph and the files take from it.
MonitoringReply takePayload(
    QByteArrayView buffer, MonitoringKind kind, qsizetype first, BlockRange fft, BlockRange raw)
{
    const int blocks = blockCount(kind);
    MonitoringReply r;
    r.outcome = MonitoringReply::Outcome::Accepted;
    r.streamStart = first;
    const QByteArrayView stream = buffer.sliced(first, replySize(kind));
    r.logText = hexDump(stream);
    r.payload.reserve(blocks * kBlockPayload);
    for (qsizetype i = 0; i < stream.size(); i += kBlockSize)
        r.payload.append(stream.sliced(i + kBlockHeader, kBlockPayload));

    if (kind == MonitoringKind::Spectrum) {
        const auto [from, to] = clippedBlocks(fft, blocks);
        r.spectrumBins = r.payload.sliced(from * kBlockPayload, (to - from) * kBlockPayload);
    } else {
        takeRawSamples(r, raw, blocks);
    }
    return r;
}
} // namespace

int blockCount(MonitoringKind kind)
{
    return kind == MonitoringKind::Spectrum ? kSpectrumBlocks : kTimeDomainBlocks;
}

qsizetype replySize(MonitoringKind kind)
{
    return blockCount(kind) * kBlockSize;
}

MonitoringReply judgeMonitoringReply(
    QByteArrayView buffer, MonitoringKind kind, BlockRange fft, BlockRange raw)
{
    using O = MonitoringReply::Outcome;
    if (buffer.isEmpty())
        return failure(O::NoResponse, QStringLiteral("No Response"));
    if (buffer.size() < replySize(kind))
        return failure(O::TooShort, tooShortText(kind));
    const std::optional<Stream> stream = findStream(buffer, kind);
    if (!stream)
        return failure(O::WrongBlockCount, QStringLiteral("Incorrect Number Of Blocks"));
    if (std::optional<MonitoringReply> failed = checkBlocks(buffer, kind, *stream))
        return *std::move(failed);
    return takePayload(buffer, kind, stream->first, fft, raw);
}

} // namespace velto::radar
