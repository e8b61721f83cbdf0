#pragma once

#include <QString>

#include <array>
#include <optional>

namespace velto::calibration {

// The six ultrasonic transceiver parameters, in the order of the parameter list.
enum class TransceiverParameter { Pulses, Gain, Threshold, TBMin, Power, PowerX10 };
constexpr int kTransceiverParameterCount = 6;

struct TransceiverRow {
    TransceiverParameter parameter;
    const char* text; // the list row
    char letter; // command letter of its message
    int minCode; // the slider's range
    int maxCode;
    int defaultCode; // what the unit's defaults restore
    const char* unit; // UTF-8; empty for plain counts
    const char* valueCaption;
    const char* codeCaption;
    const char* valueBox; // the box showing the value last sent
};

const std::array<TransceiverRow, kTransceiverParameterCount>& transceiverRows();
const TransceiverRow& transceiverRow(TransceiverParameter parameter);
// The row at a list index; nothing outside 0..5.
std::optional<TransceiverParameter> transceiverParameterAt(int index);
int indexOf(TransceiverParameter parameter);

// The physical value a code stands for (volts, microseconds...); the code itself for the counts.
// "Power * 10" is a switch and has no value of its own: see transceiverValueText.
double transceiverValue(TransceiverParameter parameter, int code);

// The value of a code as shown. For "Power * 10" the switch turns the power value (of powerCode)
// into ten times that value followed by "~" when it is 1.
QString transceiverValueText(TransceiverParameter parameter, int code, int powerCode);
// The power value as the Power box shows it: the "~" form while the switch is on.
QString powerText(int powerCode, int powerX10);

// The code a typed value becomes, when the text is a number and the code lies in the slider's
// range; "Power * 10" takes its switch from the slider only.
std::optional<int> transceiverCodeFromText(TransceiverParameter parameter, const QString& text);

bool isInRange(TransceiverParameter parameter, int code);

} // namespace velto::calibration
