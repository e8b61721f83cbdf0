#pragma once

namespace velto::modbus {

// Address 0 is the broadcast address: no slave answers it, so a read there could only "succeed"
// without data. Requests name one slave, 1 to 255 (one byte on the wire); the Modbus unicast range
// proper ends at 247, which is what the command-line tool accepts. The windows keep the range
// their own texts state.
inline constexpr int kBroadcastAddress = 0;
inline constexpr int kMinSlaveAddress = 1;
inline constexpr int kMaxUnicastAddress = 247;
inline constexpr int kMaxSlaveAddress = 255;

constexpr bool isSlaveAddress(long long address)
{
    return address >= kMinSlaveAddress && address <= kMaxSlaveAddress;
}

} // namespace velto::modbus
