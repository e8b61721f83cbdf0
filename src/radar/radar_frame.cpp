#include "radar/radar_frame.h"

namespace velto::radar {

namespace {
constexpr qsizetype kCodeAt = 2;
constexpr qsizetype kCentralFrequencyAt = 4;
constexpr qsizetype kBandAt = 6;
constexpr qsizetype kTankHeightAt = 8;
constexpr qsizetype kTrueLiquidHeightAt = 10;
constexpr qsizetype kSelectorAt = 17;
constexpr int kByte = 256;

void putLittleEndian(QByteArray& frame, qsizetype at, int value)
{
    frame[at] = char(quint8(value % kByte));
    frame[at + 1] = char(quint8((value / kByte) % kByte));
}

int getLittleEndian(QByteArrayView frame, qsizetype at)
{
    return quint8(frame[at]) + quint8(frame[at + 1]) * kByte;
}

const char kHexDigits[] = "0123456789ABCDEF";
} // namespace

DataSelection selectMonitoringData(bool spectrumTicked, bool timeDomainTicked, MonitoringKind current)
{
    if (spectrumTicked && timeDomainTicked)
        return { current == MonitoringKind::Spectrum ? selector::kSpectrum : selector::kTimeDomain, current };
    DataSelection s { selector::kNone, current };
    if (spectrumTicked)
        s = { selector::kSpectrum, MonitoringKind::Spectrum };
    if (timeDomainTicked)
        s = { selector::kTimeDomain, MonitoringKind::TimeDomain };
    return s;
}

quint8 additiveChecksum(QByteArrayView bytes)
{
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    return sum;
}

QByteArray buildRadarFrame(RadarCommand command, const RadarParameters& parameters, quint8 dataSelector)
{
    const bool isLong = command == RadarCommand::SetParameters || command == RadarCommand::Monitoring;
    QByteArray frame(isLong ? kLongFrameSize : kShortFrameSize, '\0');
    frame[0] = char(kFrameStart0);
    frame[1] = char(kFrameStart1);
    frame[kCodeAt] = char(commandCode(command));
    if (command == RadarCommand::SetParameters) {
        putLittleEndian(frame, kCentralFrequencyAt, parameters.centralFrequencyMHz);
        putLittleEndian(frame, kBandAt, parameters.bandMHz);
        putLittleEndian(frame, kTankHeightAt, parameters.tankHeightMm);
        putLittleEndian(frame, kTrueLiquidHeightAt, parameters.trueLiquidHeightMm);
        frame[kSelectorAt] = char(selector::kSetParameters);
    } else if (command == RadarCommand::Monitoring) {
        frame[kSelectorAt] = char(dataSelector);
    }
    frame[frame.size() - 1] = char(additiveChecksum(QByteArrayView(frame).first(frame.size() - 1)));
    return frame;
}

std::optional<RadarFrameFields> readRadarFrame(QByteArrayView frame)
{
    if (frame.size() != kShortFrameSize && frame.size() != kLongFrameSize)
        return std::nullopt;
    RadarFrameFields fields;
    fields.code = quint8(frame[kCodeAt]);
    fields.checksumOk = additiveChecksum(frame.first(frame.size() - 1)) == quint8(frame.back());
    if (frame.size() == kLongFrameSize) {
        fields.parameters = { getLittleEndian(frame, kCentralFrequencyAt), getLittleEndian(frame, kBandAt),
            getLittleEndian(frame, kTankHeightAt), getLittleEndian(frame, kTrueLiquidHeightAt) };
        fields.dataSelector = quint8(frame[kSelectorAt]);
    }
    return fields;
}

QString hexDump(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size() * 4);
    for (char b : bytes) {
        const auto v = quint8(b);
        text += QLatin1Char(' ');
        text += QLatin1Char(kHexDigits[v >> 4]);
        text += QLatin1Char(kHexDigits[v & 0x0F]);
        text += QLatin1Char(' ');
    }
    return text;
}

} // namespace velto::radar
