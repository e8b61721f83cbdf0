#pragma once

#include <QtGlobal>

#include <array>
#include <string_view>

namespace velto::debuglog {

// Columns of the parsing workbooks, numbered from 1 as a spreadsheet counts them.
enum class ParsingColumn : int {
    Distance = 1,
    Power,
    Gain,
    Zone,
    Amplitude,
    Treshold,
    Pulses,
    Timer,
    TBmin,
    TBmax,
    Mode,
    Statue,
    DistanceJump,
    AlgDecision,
    Temperature,
    Current4_20,
    RawDistance,
    RawDistance2,
    Time,
};

// Row 1 of both workbooks, spelt as the sensor engineers know them.
inline constexpr std::array<std::string_view, 19> kParsingHeaders = { "Distance", "Power", "Gain", "Zone",
    "Amplitude", "Treshold", "Pulses", "Timer", "TBmin", "TBmax", "Mode", "Statue", "Distance Jump",
    "Alg. Decision", "Temperature", "4_20", "Raw Distance", "Raw Distance2", "Time" };

// One record row: each column holds a number or stays empty (a tag the line did not carry).
struct ParsingRow {
    static constexpr int kColumns = int(kParsingHeaders.size());

    void set(ParsingColumn column, double value)
    {
        const int i = int(column) - 1;
        values[i] = value;
        written |= 1u << i;
    }
    bool has(ParsingColumn column) const { return written & (1u << (int(column) - 1)); }
    double value(ParsingColumn column) const { return values[int(column) - 1]; }

    bool operator==(const ParsingRow&) const = default;

    std::array<double, kColumns> values {};
    quint32 written = 0; // bit i: column i + 1 holds values[i]
};

} // namespace velto::debuglog
