#pragma once

#include "radar/monitoring_block.h"
#include "radar/radar_command.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace velto::radar {

constexpr int kSpectrumBlocks = 64;
constexpr int kTimeDomainBlocks = 235;
constexpr int kSpectrumBins = kSpectrumBlocks * int(kBlockPayload); // 4096
constexpr int kTimeDomainSamples = kTimeDomainBlocks * int(kBlockPayload) / 2; // 7520
// The part of the time-domain record that goes to the files: samples 256 to 7498.
constexpr int kFileSamplesFirst = 256;
constexpr int kFileSamples = 7243;

int blockCount(MonitoringKind kind);
// 4352 or 15980 bytes.
qsizetype replySize(MonitoringKind kind);

// 1-based block numbers of the part of the reply that is plotted.
struct BlockRange {
    int start = 1;
    int end = 4;
    bool operator==(const BlockRange&) const = default;
};

// The answer to a Monitoring request, judged block by block as the radar window judges it, and the
// arrays the graph and the files take from it.
struct MonitoringReply {
    enum class Outcome {
        NoResponse,
        TooShort,
        WrongBlockCount,
        WrongHeader, // failedBlock names the block
        WrongChecksum, // failedBlock names the block
        WrongLastHeader,
        WrongLastChecksum,
        Accepted,
    };

    Outcome outcome = Outcome::NoResponse;
    int failedBlock = 0;
    // The failure text, or the hex dump of the whole stream of blocks.
    QString logText;
    qsizetype streamStart = 0;

    QByteArray payload; // headers removed: 4096 or 15040 bytes
    QByteArray spectrumBins; // spectrum: the bins of the FFT block range
    QList<qint32> rawSamples; // time domain: the samples of the RAW block range
    QList<qint32> rawFileSamples; // time domain: samples 256..7498
    qint32 rawMin = 0;
    qint32 rawMax = 0;

    bool accepted() const { return outcome == Outcome::Accepted; }
};

// Never reads outside `buffer`. Ranges outside the reply are clipped to it.
MonitoringReply judgeMonitoringReply(
    QByteArrayView buffer, MonitoringKind kind, BlockRange fft, BlockRange raw);

} // namespace velto::radar
