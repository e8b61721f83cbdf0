#pragma once

#include "calibration/calibration_message.h"
#include "calibration/transceiver_parameter.h"

#include <array>

namespace velto::calibration {

// What the calibration window remembers while the program runs, so that opening it again shows
// what was last sent. Values are not kept apart from codes: a value box always shows the value of
// the code the unit last received.
struct CalibrationState {
    bool CalibrationShownBefore = false;
    // Last code sent per transceiver parameter (indexOf order); "Power * 10" holds its 0/1 switch.
    std::array<int, kTransceiverParameterCount> codes = defaultCodes();
    int ParameterIndex = 0; // last transceiver row updated
    int CurrentIndex = 0; // last current row updated
    // RelayState1..RelayState6 and MultiSensorRelayState: index relay - 1.
    std::array<bool, kRelaySwitchCount> relays {};

    int code(TransceiverParameter parameter) const { return codes[size_t(indexOf(parameter))]; }
    void setCode(TransceiverParameter parameter, int code) { codes[size_t(indexOf(parameter))] = code; }
    int powerX10() const { return code(TransceiverParameter::PowerX10); }
    bool relay(int relay) const
    {
        return relay >= 1 && relay <= kRelaySwitchCount && relays[size_t(relay - 1)];
    }
    void setRelay(int relay, bool on)
    {
        if (relay >= 1 && relay <= kRelaySwitchCount)
            relays[size_t(relay - 1)] = on;
    }
    void restoreTransceiverDefaults() { codes = defaultCodes(); }

    static std::array<int, kTransceiverParameterCount> defaultCodes()
    {
        std::array<int, kTransceiverParameterCount> out {};
        for (const TransceiverRow& row : transceiverRows())
            out[size_t(indexOf(row.parameter))] = row.defaultCode;
        return out;
    }
};

} // namespace velto::calibration
