#pragma once

#include "radar/radar_command.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velto::radar {

constexpr qsizetype kShortFrameSize = 18;
constexpr qsizetype kLongFrameSize = 24;

// The values "Set Parameters" carries, as the radar window's boxes hold them after their checks.
struct RadarParameters {
    int centralFrequencyMHz = 10050;
    int bandMHz = 1100;
    int tankHeightMm = 0;
    int trueLiquidHeightMm = 0;
};

namespace selector {
constexpr quint8 kNone = 0x00;
constexpr quint8 kSpectrum = 0x10;
constexpr quint8 kTimeDomain = 0x04;
constexpr quint8 kSetParameters = 0x40;
} // namespace selector

// The data selector of a Monitoring request and the monitoringKind it leaves behind, from the
// "Spectrum Data" and "Time Domain Data" boxes. With both ticked the current kind chooses.
struct DataSelection {
    quint8 selector = selector::kNone;
    MonitoringKind kind = MonitoringKind::Spectrum;
};
DataSelection selectMonitoringData(bool spectrumTicked, bool timeDomainTicked, MonitoringKind current);

// 8-bit additive sum.
quint8 additiveChecksum(QByteArrayView bytes);

// The command frame: 18 bytes for the short commands, 24 for Set Parameters and Monitoring, 16-bit
// parameters low byte first, the sum of the bytes before it last. `dataSelector` is used by
// Monitoring only.
QByteArray buildRadarFrame(RadarCommand command, const RadarParameters& parameters, quint8 dataSelector);

// A command frame as the sensor reads it, whatever its code. The parameters and the data selector
// are read from a long frame only.
struct RadarFrameFields {
    quint8 code = 0;
    RadarParameters parameters;
    quint8 dataSelector = selector::kNone;
    bool checksumOk = false;
};
// Nothing for bytes of neither frame length.
std::optional<RadarFrameFields> readRadarFrame(QByteArrayView frame);

// " 55  AA  01 ": a blank, two digits and a blank per byte, as the radar window's log shows bytes.
QString hexDump(QByteArrayView bytes);

} // namespace velto::radar
