#pragma once

#include <QByteArray>
#include <array>
#include <optional>

namespace velto::veltoproto {

// The command code names the quantity the reply carries.
enum class VeltoCommand : int {
    Distance = 1,
    Temperature = 4,
    TankHeight = 6,
    Level = 9,
};

// Order of the requests within one polling tick.
inline constexpr std::array<VeltoCommand, 4> kTickOrder {
    VeltoCommand::Distance,
    VeltoCommand::TankHeight,
    VeltoCommand::Temperature,
    VeltoCommand::Level,
};

// Requests and replies alike start with '!' and end with a carriage return.
inline constexpr char kFrameStart = '!';
inline constexpr char kFrameEnd = '\r';

inline constexpr int kMinVeltoAddress = 0;
inline constexpr int kMaxVeltoAddress = 255;

// "!" address(2-3) sensor "2" "02" command "00" checksum(2-3) CR. The checksum adds the address as one
// number. Empty for an address outside 0..255, which the address entry never lets through.
std::optional<QByteArray> buildRequestFrame(int address, bool sensorDigitOne, VeltoCommand command);

} // namespace velto::veltoproto
