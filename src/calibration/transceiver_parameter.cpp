#include "calibration/transceiver_parameter.h"

#include "calibration/value_text.h"

#include <cmath>

namespace velto::calibration {

namespace {
constexpr double kThresholdFullScaleVolts = 5.0;
constexpr double kTBMinMicrosecondsPerCode = 1.5;
constexpr double kPowerFullScaleVoltsPeakToPeak = 30.0;
constexpr double kFullScaleCode = 255.0;
constexpr double kPowerX10Factor = 10.0;
const QString kPowerX10Mark = QStringLiteral("~");

constexpr std::array<TransceiverRow, kTransceiverParameterCount> kRows { {
    { TransceiverParameter::Pulses, "Pulses", 'A', 5, 40, 14, "",
        "Pulses Value:", "Pulses Code:", "PulsesText" },
    { TransceiverParameter::Gain, "Gain", 'B', 5, 255, 70, "", "Gain Value:", "Gain Code:", "GainText" },
    { TransceiverParameter::Threshold, "Threshold", 'C', 0, 255, 65, "Vdc",
        "Threshold Value:", "Threshold Code:", "ThresholdText" },
    { TransceiverParameter::TBMin, "TBMin", 'D', 170, 4000, 500, "\u00b5s",
        "TBMin Value:", "TBMin Code:", "TBMinText" },
    { TransceiverParameter::Power, "Power", 'E', 0, 255, 150, "Vp-p",
        "Transmitted Amplitude:", "Power Code:", "PowerText" },
    { TransceiverParameter::PowerX10, "Power * 10", 'F', 0, 1, 0, "Vp-p",
        "Power * 10 Value:", "Power * 10 Code:", "PowerX10Text" },
} };
} // namespace

const std::array<TransceiverRow, kTransceiverParameterCount>& transceiverRows()
{
    return kRows;
}

const TransceiverRow& transceiverRow(TransceiverParameter parameter)
{
    return kRows[size_t(indexOf(parameter))];
}

std::optional<TransceiverParameter> transceiverParameterAt(int index)
{
    if (index < 0 || index >= kTransceiverParameterCount)
        return std::nullopt;
    return kRows[size_t(index)].parameter;
}

int indexOf(TransceiverParameter parameter)
{
    return int(parameter);
}

bool isInRange(TransceiverParameter parameter, int code)
{
    const TransceiverRow& row = transceiverRow(parameter);
    return code >= row.minCode && code <= row.maxCode;
}

double transceiverValue(TransceiverParameter parameter, int code)
{
    switch (parameter) {
    case TransceiverParameter::Threshold:
        return code * kThresholdFullScaleVolts / kFullScaleCode;
    case TransceiverParameter::TBMin:
        return code * kTBMinMicrosecondsPerCode;
    case TransceiverParameter::Power:
        return code * kPowerFullScaleVoltsPeakToPeak / kFullScaleCode;
    case TransceiverParameter::Pulses:
    case TransceiverParameter::Gain:
    case TransceiverParameter::PowerX10:
        break;
    }
    return code;
}

QString powerText(int powerCode, int powerX10)
{
    const double power = transceiverValue(TransceiverParameter::Power, powerCode);
    return powerX10 == 1 ? formatValue(power * kPowerX10Factor) + kPowerX10Mark : formatValue(power);
}

QString transceiverValueText(TransceiverParameter parameter, int code, int powerCode)
{
    if (parameter == TransceiverParameter::PowerX10)
        return powerText(powerCode, code);
    return formatValue(transceiverValue(parameter, code));
}

std::optional<int> transceiverCodeFromText(TransceiverParameter parameter, const QString& text)
{
    const std::optional<double> typed = parseTypedNumber(text);
    if (!typed)
        return std::nullopt;
    double code = 0;
    switch (parameter) {
    case TransceiverParameter::Pulses:
    case TransceiverParameter::Gain:
        code = std::floor(*typed);
        break;
    case TransceiverParameter::Threshold:
        code = std::round(*typed * kFullScaleCode / kThresholdFullScaleVolts);
        break;
    case TransceiverParameter::TBMin:
        code = std::round(*typed / kTBMinMicrosecondsPerCode);
        break;
    case TransceiverParameter::Power:
        code = std::round(*typed * kFullScaleCode / kPowerFullScaleVoltsPeakToPeak);
        break;
    case TransceiverParameter::PowerX10:
        return std::nullopt;
    }
    // Checked as a double first: a huge typed number must not wrap into the range.
    const TransceiverRow& row = transceiverRow(parameter);
    if (code < row.minCode || code > row.maxCode)
        return std::nullopt;
    return int(code);
}

} // namespace velto::calibration
