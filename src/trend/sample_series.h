#pragma once

#include "trend/span_summary.h"
#include "trend/trend_sample.h"

#include <deque>
#include <optional>
#include <vector>

namespace velto::trend {

// The samples of one series in time order, with bounded memory: they are kept in chunks of 4096
// (16 bytes a sample), at most 64 chunks, so a series holds its latest 258,048 to 262,144 samples
// (about 72 hours at one sample a second, 4 MiB) and drops its oldest chunk whole when a new one is
// needed. Each block of 64 samples and each chunk keeps its summary, so the summary of any run costs
// at most a few hundred steps however long the run is.
class SampleSeries {
public:
    static constexpr int kBlockSamples = 64;
    static constexpr int kChunkSamples = 4096;
    static constexpr int kMaxChunks = 64;
    static constexpr qsizetype kMaxSamples = qsizetype(kChunkSamples) * kMaxChunks;

    // A sample older than the last one (the wall clock was set back) is stored at the last one's time,
    // so the series stays in order.
    void append(Sample sample);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    Sample at(qsizetype index) const;
    std::optional<Sample> last() const;
    // Samples dropped from the front so far to stay within the bound.
    qint64 dropped() const { return m_dropped; }

    // The index of the first sample at or after timeMs; size() when there is none.
    qsizetype lowerBound(qint64 timeMs) const;
    // Summary of the samples [from, to).
    SpanSummary summary(qsizetype from, qsizetype to) const;

private:
    struct Entry {
        double value;
        qint32 offsetMs; // from the chunk's base time
        SampleKind kind;
    };
    struct Chunk {
        qint64 baseMs = 0;
        qint64 firstIndex = 0; // counted from the first sample ever appended
        std::vector<Entry> entries;
        std::vector<SpanSummary> blocks;
        SpanSummary whole;

        qint64 timeOf(qsizetype i) const { return baseMs + entries[size_t(i)].offsetMs; }
        Sample sampleAt(qsizetype i) const;
        // Summary of the entries [from, to).
        SpanSummary scan(qsizetype from, qsizetype to) const;
    };

    // The chunk holding `index` (relative to the first kept sample).
    size_t chunkOf(qsizetype index) const;
    qsizetype startOf(const Chunk& chunk) const { return qsizetype(chunk.firstIndex - m_dropped); }

    std::deque<Chunk> m_chunks;
    qsizetype m_size = 0;
    qint64 m_dropped = 0;
};

} // namespace velto::trend
