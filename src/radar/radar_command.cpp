#include "radar/radar_command.h"

#include <array>
#include <utility>

namespace velto::radar {

namespace {
const std::array<std::pair<RadarCommand, const char*>, 5> kModeTexts { {
    { RadarCommand::SendStatus, "Send Status" },
    { RadarCommand::Track, "Track" },
    { RadarCommand::StandBy, "StandBy" },
    { RadarCommand::Monitoring, "Monitoring" },
    { RadarCommand::SetParameters, "Set Parameters" },
} };
} // namespace

quint8 commandCode(RadarCommand command)
{
    switch (command) {
    case RadarCommand::SendStatus:
        return code::kSendStatus;
    case RadarCommand::Track:
        return code::kTrack;
    case RadarCommand::StandBy:
        return code::kStandBy;
    case RadarCommand::Monitoring:
        return code::kMonitoring;
    case RadarCommand::SetParameters:
        return code::kSetParameters;
    }
    return 0;
}

std::optional<RadarCommand> commandForCode(quint8 code)
{
    for (const auto& [c, text] : kModeTexts) {
        if (commandCode(c) == code)
            return c;
    }
    return std::nullopt;
}

QString modeText(RadarCommand command)
{
    for (const auto& [c, text] : kModeTexts) {
        if (c == command)
            return QString::fromLatin1(text);
    }
    return {};
}

} // namespace velto::radar
