#pragma once

#include <QString>
#include <QtGlobal>

namespace velto::radar {

// The five commands of the radar sensor, named by the text the radar window writes into ModeText.
enum class RadarCommand { SendStatus, Track, StandBy, Monitoring, SetParameters };

// Which monitoring data the sensor sends (monitoringKind).
enum class MonitoringKind { Spectrum = 0, TimeDomain = 1 };

constexpr quint8 kFrameStart0 = 0x55;
constexpr quint8 kFrameStart1 = 0xAA;

namespace code {
constexpr quint8 kSendStatus = 0x01;
constexpr quint8 kTrack = 0x03;
constexpr quint8 kStandBy = 0x05;
constexpr quint8 kMonitoring = 0xF4;
constexpr quint8 kSetParameters = 0xF8;
// The code an accepted monitoring reply answers with: the kind byte of the other data.
constexpr quint16 kSpectrumAccepted = 195;
constexpr quint16 kTimeDomainAccepted = 60;
} // namespace code

quint8 commandCode(RadarCommand command);
// The command a frame's code names; nothing for a code of no command.
std::optional<RadarCommand> commandForCode(quint8 code);
// "Send Status", "Track", "StandBy", "Monitoring", "Set Parameters".
QString modeText(RadarCommand command);
// Every command but Monitoring is answered by a 13-byte status reply.
constexpr bool hasStatusReply(RadarCommand command)
{
    return command != RadarCommand::Monitoring;
}

} // namespace velto::radar
