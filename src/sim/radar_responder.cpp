#include "sim/radar_responder.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace velto::sim {

namespace radar_wire {
qsizetype frameLength(quint8 code)
{
    switch (code) {
    case kSendStatus:
    case kTrack:
    case kStandBy:
        return kShortFrame;
    case kMonitoring:
    case kSetParameters:
        return kLongFrame;
    default:
        return 0;
    }
}

quint8 sum8(QByteArrayView bytes)
{
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    return sum;
}

bool isValidFrame(QByteArrayView frame)
{
    return frame.size() >= 3 && quint8(frame[0]) == kStart0 && quint8(frame[1]) == kStart1
        && frameLength(quint8(frame[2])) == frame.size()
        && sum8(frame.first(frame.size() - 1)) == quint8(frame.back());
}
} // namespace radar_wire

namespace {
using namespace radar_wire;

constexpr quint8 kSpectrumKind = 0x3C;
constexpr quint8 kTimeDomainKind = 0xC3;
constexpr quint8 kMarker = 0x44;
constexpr quint8 kMore = 0x40;
constexpr quint8 kLast = 0x00;
constexpr qsizetype kPayload = 64;
constexpr qsizetype kSelectorAt = 17;

constexpr double kMeanDistanceM = 3.0;
constexpr double kSwingM = 1.2;
constexpr double kDistancePeriodS = 240.0;
constexpr double kSnrMean = 28.0;
constexpr double kSnrSwing = 4.0;
constexpr double kSnrPeriodS = 37.0;
constexpr double kTenthsOfMmPerM = 10000.0;
constexpr int kTenthsPerMm = 10;
constexpr double kMsPerS = 1000.0;

constexpr int kSamples = RadarResponder::kTimeDomainBlocks * int(kPayload) / 2;
constexpr double kFftSize = 8192.0;
constexpr double kMidScale = 32768.0;
constexpr double kEchoAmplitude = 14000.0;
constexpr double kHarmonicAmplitude = 2500.0;
constexpr int kSampleNoise = 400;
constexpr int kNoiseFloor = 18;
constexpr int kFloorSpread = 14;
constexpr double kPeakHeight = 115.0;
constexpr double kPeakWidthBins = 2.5;
constexpr double kMultipathHeight = 30.0;

// A small deterministic generator, so a reply repeats under a fixed clock.
class Noise {
public:
    explicit Noise(quint32 seed)
        : m_state(seed * 2654435761u + 1u)
    {
    }
    int next(int range)
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return int(m_state % quint32(range));
    }

private:
    quint32 m_state;
};

int le16(QByteArrayView frame, qsizetype at)
{
    return quint8(frame[at]) | quint8(frame[at + 1]) << 8;
}
} // namespace

qint32 RadarResponder::distanceTenthsOfMm(qint64 ms) const
{
    const double t = ms / kMsPerS;
    const double metres = kMeanDistanceM + kSwingM * std::sin(2 * M_PI * t / kDistancePeriodS);
    return qint32(std::lround(metres * kTenthsOfMmPerM));
}

qint32 RadarResponder::reportedTenthsOfMm(qint64 ms) const
{
    const qint32 distance = distanceTenthsOfMm(ms);
    if (m_tankHeightMm == 0)
        return distance;
    return std::max<qint32>(0, m_tankHeightMm * kTenthsPerMm - distance);
}

int RadarResponder::signalToNoise(qint64 ms) const
{
    return int(std::lround(kSnrMean + kSnrSwing * std::sin(2 * M_PI * (ms / kMsPerS) / kSnrPeriodS)));
}

int RadarResponder::peakBin(qint64 ms) const
{
    return int(std::lround(distanceTenthsOfMm(ms) / kTenthsOfMmPerM / kMetresPerBin));
}

QByteArray RadarResponder::spectrumPayload(qint64 ms) const
{
    const int bins = kSpectrumBlocks * int(kPayload);
    const int peak = peakBin(ms);
    Noise noise(quint32(ms) ^ quint32(m_requests));
    // Leakage of the transmitter into the first bins, then the noise floor, the echo and a weak
    // double-bounce echo at twice the distance.
    static constexpr int kLeakage[] = { 90, 60, 35, 20 };
    QByteArray out(bins, '\0');
    for (int k = 0; k < bins; ++k) {
        double v = kNoiseFloor + noise.next(kFloorSpread);
        if (k < int(std::size(kLeakage)))
            v += kLeakage[k];
        v += kPeakHeight * std::exp(-std::pow((k - peak) / kPeakWidthBins, 2));
        v += kMultipathHeight * std::exp(-std::pow((k - 2 * peak) / kPeakWidthBins, 2));
        out[k] = char(std::clamp(int(std::lround(v)), 0, 255));
    }
    return out;
}

QByteArray RadarResponder::timeDomainPayload(qint64 ms) const
{
    const double cycles = peakBin(ms);
    Noise noise(quint32(ms) ^ quint32(m_requests) ^ 0x5A5A5A5Au);
    QByteArray out(qsizetype(kSamples) * 2, '\0');
    for (int k = 0; k < kSamples; ++k) {
        const double phase = 2 * M_PI * cycles * k / kFftSize;
        const double v = kMidScale + kEchoAmplitude * std::sin(phase)
            + kHarmonicAmplitude * std::sin(2 * phase) + noise.next(2 * kSampleNoise + 1) - kSampleNoise;
        const int sample = std::clamp(int(std::lround(v)), 0, 65535);
        out[2 * k] = char(sample >> 8);
        out[2 * k + 1] = char(sample & 0xFF);
    }
    return out;
}

QByteArray RadarResponder::statusReply(quint8 code, qint32 tenthsOfMm, int snr, quint8 mode)
{
    QByteArray r(13, '\0');
    r[0] = char(kStart0);
    r[1] = char(kStart1);
    r[2] = char(code);
    if (code == kSendStatus) {
        const auto raw = quint32(tenthsOfMm);
        for (int i = 0; i < 4; ++i)
            r[3 + i] = char((raw >> (8 * i)) & 0xFF);
        r[11] = char(std::clamp(snr, 0, 255));
    }
    r[7] = char(mode);
    r[12] = char(sum8(QByteArrayView(r).first(12)));
    return r;
}

QByteArray RadarResponder::blocks(quint8 kind, QByteArrayView payload)
{
    QByteArray out;
    const qsizetype count = payload.size() / kPayload;
    out.reserve(count * (kPayload + 4));
    for (qsizetype b = 0; b < count; ++b) {
        QByteArray block(4, '\0');
        block[0] = char(kind);
        block[2] = char(kMarker);
        block[3] = char(b + 1 == count ? kLast : kMore);
        block.append(payload.sliced(b * kPayload, kPayload));
        const quint8 others = quint8(sum8(block));
        block[1] = char(others);
        out += block;
    }
    return out;
}

QByteArray RadarResponder::faulty(QByteArray reply, bool monitoring) const
{
    constexpr qsizetype kBlock = kPayload + 4;
    if (monitoring && wrongChecksumBlock > 0 && wrongChecksumBlock * kBlock <= reply.size())
        reply[(wrongChecksumBlock - 1) * kBlock + 1]
            = char(quint8(reply[(wrongChecksumBlock - 1) * kBlock + 1]) ^ 0x5A);
    if (!monitoring && wrongStatusChecksum && !reply.isEmpty())
        reply[reply.size() - 1] = char(quint8(reply.back()) ^ 0x5A);
    reply.chop(std::min<qsizetype>(std::max(shortBy, 0), reply.size()));
    return noiseBefore + reply;
}

QList<RadarReply> RadarResponder::respond(QByteArrayView frame, qint64 ms)
{
    if (!isValidFrame(frame))
        return {};
    ++m_requests;
    const quint8 code = quint8(frame[2]);
    if (code == kSetParameters) {
        m_centralFrequencyMHz = le16(frame, 4);
        m_bandMHz = le16(frame, 6);
        m_tankHeightMm = le16(frame, 8);
        m_trueLiquidHeightMm = le16(frame, 10);
    } else if (code == kTrack) {
        m_tracking = true;
    } else if (code == kStandBy) {
        m_tracking = false;
    }
    if (silent)
        return {};
    if (silentReplies > 0) {
        --silentReplies;
        return {};
    }

    QByteArray reply;
    bool monitoring = false;
    if (code == kMonitoring) {
        const quint8 wanted = quint8(frame[kSelectorAt]);
        if (wanted == kSelectSpectrum)
            reply = blocks(kSpectrumKind, spectrumPayload(ms));
        else if (wanted == kSelectTimeDomain)
            reply = blocks(kTimeDomainKind, timeDomainPayload(ms));
        else
            return {};
        monitoring = true;
    } else {
        reply = statusReply(code, code == kSendStatus ? reportedTenthsOfMm(ms) : 0,
            code == kSendStatus ? signalToNoise(ms) : 0, m_tracking ? 1 : 0);
    }
    return { { faulty(reply, monitoring), delayMs } };
}

} // namespace velto::sim
