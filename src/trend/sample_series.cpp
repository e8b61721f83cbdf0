#include "trend/sample_series.h"

#include <algorithm>
#include <limits>

namespace velto::trend {

Sample SampleSeries::Chunk::sampleAt(qsizetype i) const
{
    const Entry& e = entries[size_t(i)];
    return Sample { baseMs + e.offsetMs, e.value, e.kind };
}

SpanSummary SampleSeries::Chunk::scan(qsizetype from, qsizetype to) const
{
    // The same as joining each sample's summary, in one pass: this is the inner loop of a repaint.
    SpanSummary s;
    bool breakSinceValue = false;
    for (qsizetype i = from; i < to; ++i) {
        const Entry& e = entries[size_t(i)];
        if (e.kind == SampleKind::Value) {
            if (s.values == 0)
                s.first = e.value;
            else if (breakSinceValue)
                s.brokenInside = true;
            breakSinceValue = false;
            s.last = e.value;
            s.min = std::min(s.min, e.value);
            s.max = std::max(s.max, e.value);
            ++s.values;
        } else {
            s.broken = true;
            s.failed = s.failed || e.kind == SampleKind::Failed;
            if (s.values == 0)
                s.brokenBeforeFirst = true;
            else
                breakSinceValue = true;
        }
    }
    s.brokenAfterLast = s.values == 0 ? s.broken : breakSinceValue;
    return s;
}

void SampleSeries::append(Sample sample)
{
    if (const auto previous = last())
        sample.timeMs = std::max(sample.timeMs, previous->timeMs);
    if (sample.kind != SampleKind::Value)
        sample.value = 0;

    const bool needChunk = m_chunks.empty() || m_chunks.back().entries.size() == size_t(kChunkSamples)
        || sample.timeMs - m_chunks.back().baseMs > std::numeric_limits<qint32>::max();
    if (needChunk) {
        if (m_chunks.size() == size_t(kMaxChunks)) {
            const auto gone = qsizetype(m_chunks.front().entries.size());
            m_dropped += gone;
            m_size -= gone;
            m_chunks.pop_front();
        }
        Chunk chunk;
        chunk.baseMs = sample.timeMs;
        chunk.firstIndex = m_dropped + m_size;
        chunk.entries.reserve(size_t(kChunkSamples));
        chunk.blocks.reserve(size_t(kChunkSamples / kBlockSamples));
        m_chunks.push_back(std::move(chunk));
    }
    Chunk& chunk = m_chunks.back();
    const SpanSummary one = SpanSummary::of(sample);
    if (chunk.entries.size() % size_t(kBlockSamples) == 0)
        chunk.blocks.emplace_back();
    chunk.blocks.back().append(one);
    chunk.whole.append(one);
    chunk.entries.push_back(Entry { sample.value, qint32(sample.timeMs - chunk.baseMs), sample.kind });
    ++m_size;
}

size_t SampleSeries::chunkOf(qsizetype index) const
{
    const qint64 absolute = index + m_dropped;
    const auto it = std::upper_bound(m_chunks.begin(), m_chunks.end(), absolute,
        [](qint64 value, const Chunk& chunk) { return value < chunk.firstIndex; });
    return size_t(std::distance(m_chunks.begin(), it)) - 1;
}

Sample SampleSeries::at(qsizetype index) const
{
    const Chunk& chunk = m_chunks[chunkOf(index)];
    return chunk.sampleAt(index - startOf(chunk));
}

std::optional<Sample> SampleSeries::last() const
{
    if (m_size == 0)
        return std::nullopt;
    const Chunk& chunk = m_chunks.back();
    return chunk.sampleAt(qsizetype(chunk.entries.size()) - 1);
}

qsizetype SampleSeries::lowerBound(qint64 timeMs) const
{
    // The first chunk whose last sample is at or after the time holds the answer.
    const auto chunkIt = std::lower_bound(m_chunks.begin(), m_chunks.end(), timeMs,
        [](const Chunk& chunk, qint64 t) { return chunk.timeOf(qsizetype(chunk.entries.size()) - 1) < t; });
    if (chunkIt == m_chunks.end())
        return m_size;
    const Chunk& chunk = *chunkIt;
    const qint64 offset = timeMs - chunk.baseMs;
    if (offset <= 0)
        return startOf(chunk);
    const auto entryIt = std::lower_bound(chunk.entries.begin(), chunk.entries.end(), offset,
        [](const Entry& e, qint64 o) { return e.offsetMs < o; });
    return startOf(chunk) + qsizetype(std::distance(chunk.entries.begin(), entryIt));
}

SpanSummary SampleSeries::summary(qsizetype from, qsizetype to) const
{
    SpanSummary out;
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, m_size);
    if (from >= to)
        return out;
    for (size_t c = chunkOf(from); c < m_chunks.size() && from < to; ++c) {
        const Chunk& chunk = m_chunks[c];
        const qsizetype start = startOf(chunk);
        const qsizetype end = start + qsizetype(chunk.entries.size());
        if (from == start && to >= end) {
            out.append(chunk.whole);
            from = end;
            continue;
        }
        const qsizetype stop = std::min(to, end);
        while (from < stop) {
            const qsizetype offset = from - start;
            if (offset % kBlockSamples == 0 && from + kBlockSamples <= stop) {
                out.append(chunk.blocks[size_t(offset / kBlockSamples)]);
                from += kBlockSamples;
            } else {
                // Up to the next block's start: the samples themselves.
                const qsizetype next = std::min(stop, start + (offset / kBlockSamples + 1) * kBlockSamples);
                out.append(chunk.scan(offset, next - start));
                from = next;
            }
        }
    }
    return out;
}

} // namespace velto::trend
