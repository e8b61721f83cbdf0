#pragma once

#include <QString>

#include <array>
#include <optional>

namespace velto::calibration {

// The unit's three 4-20 mA outputs, each trimmed at its 4 mA and its 20 mA point: the six rows of
// the current list, in order.
enum class CurrentOutput { Io1At4mA, Io2At4mA, Io3At4mA, Io1At20mA, Io2At20mA, Io3At20mA };
constexpr int kCurrentOutputCount = 6;

// The D/A code range of the current slider and the codes nominally giving 4 mA and 20 mA.
constexpr int kMinCurrentCode = 0;
constexpr int kMaxCurrentCode = 65535;
constexpr int kFourMaCode = 12736;
constexpr int kTwentyMaCode = 56484;

struct CurrentRow {
    CurrentOutput output;
    const char* text;
    char letter;
    int startCode; // where choosing the row puts the slider
};

const std::array<CurrentRow, kCurrentOutputCount>& currentRows();
const CurrentRow& currentRow(CurrentOutput output);
std::optional<CurrentOutput> currentOutputAt(int index);
int indexOf(CurrentOutput output);

double milliampsFromCode(int code);
QString milliampsText(int code);
// The code for a typed current in mA, rounded; nothing for text that is not a number or a code
// outside the slider's range.
std::optional<int> currentCodeFromText(const QString& text);

} // namespace velto::calibration
