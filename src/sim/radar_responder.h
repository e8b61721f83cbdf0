#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace velto::sim {

// The sensor side of the radar protocol: command frames start 55 AA, then the command code; short
// commands are 18 bytes, Set Parameters and Monitoring 24, each ending in the 8-bit sum of the
// bytes before it.
namespace radar_wire {
constexpr quint8 kStart0 = 0x55;
constexpr quint8 kStart1 = 0xAA;
constexpr quint8 kSendStatus = 0x01;
constexpr quint8 kTrack = 0x03;
constexpr quint8 kStandBy = 0x05;
constexpr quint8 kMonitoring = 0xF4;
constexpr quint8 kSetParameters = 0xF8;
constexpr qsizetype kShortFrame = 18;
constexpr qsizetype kLongFrame = 24;
constexpr quint8 kSelectSpectrum = 0x10;
constexpr quint8 kSelectTimeDomain = 0x04;

// 18, 24, or 0 for a code the sensor does not know.
qsizetype frameLength(quint8 code);
quint8 sum8(QByteArrayView bytes);
// True for a whole frame whose last byte is the sum of the others.
bool isValidFrame(QByteArrayView frame);
} // namespace radar_wire

// A reply of the radar and how long the sensor thinks before it starts sending.
struct RadarReply {
    QByteArray bytes;
    int delayMs = 0;
};

// The simulated radar sensor. Status replies report a distance that moves slowly (or the level when
// a tank height was set) and a plausible signal-to-noise ratio; Monitoring answers with 64 spectrum
// blocks (a peak at the bin of the distance over a noise floor) or 235 time-domain blocks (a sampled
// echo whose frequency follows the distance). The fault knobs are plain members for tests.
class RadarResponder {
public:
    static constexpr double kMetresPerBin = 0.02;
    static constexpr int kSpectrumBlocks = 64;
    static constexpr int kTimeDomainBlocks = 235;

    // Nothing at all comes back while set.
    bool silent = false;
    // The next this many requests go unanswered.
    int silentReplies = 0;
    // Monitoring replies carry a wrong checksum in this 1-based block; 0: none.
    int wrongChecksumBlock = 0;
    // Status replies carry a wrong checksum.
    bool wrongStatusChecksum = false;
    // Bytes left off the end of every reply.
    int shortBy = 0;
    // Sent before every reply.
    QByteArray noiseBefore;
    // The sensor's thinking time before a reply starts.
    int delayMs = 0;

    // Takes one whole frame (55 AA code ... sum); nullopt-like empty bytes when it stays silent.
    QList<RadarReply> respond(QByteArrayView frame, qint64 ms);

    // What the sensor measures at a moment, in 0.1 mm; the level once a tank height is set.
    qint32 reportedTenthsOfMm(qint64 ms) const;
    qint32 distanceTenthsOfMm(qint64 ms) const;
    int signalToNoise(qint64 ms) const;
    int peakBin(qint64 ms) const;
    QByteArray spectrumPayload(qint64 ms) const;
    QByteArray timeDomainPayload(qint64 ms) const;

    int tankHeightMm() const { return m_tankHeightMm; }
    int centralFrequencyMHz() const { return m_centralFrequencyMHz; }
    int bandMHz() const { return m_bandMHz; }
    int trueLiquidHeightMm() const { return m_trueLiquidHeightMm; }
    bool tracking() const { return m_tracking; }
    int requests() const { return m_requests; }

    static QByteArray statusReply(quint8 code, qint32 tenthsOfMm, int snr, quint8 mode);
    static QByteArray blocks(quint8 kind, QByteArrayView payload);

private:
    QByteArray faulty(QByteArray reply, bool monitoring) const;

    int m_tankHeightMm = 0;
    int m_centralFrequencyMHz = 10050;
    int m_bandMHz = 1100;
    int m_trueLiquidHeightMm = 0;
    bool m_tracking = false;
    int m_requests = 0;
};

} // namespace velto::sim
