#pragma once

#include "calibration/calibration_state.h"
#include "calibration/transceiver_parameter.h"
#include "common/box_update.h"

#include <QList>

namespace velto::calibration {

// The transceiver panel for a row and a slider position: the row's captions and unit, the code in
// hexadecimal (TransceiverValueText) and its value (TransceiverActualValueText).
QList<BoxUpdate> transceiverPanelTexts(
    TransceiverParameter parameter, int code, const CalibrationState& state);

// ActualCurrentText (mA) and DtoA4_20ValueText (hexadecimal code) for a current slider position.
QList<BoxUpdate> currentPanelTexts(int code);

// The value box of one parameter, from the remembered codes.
BoxUpdate valueBoxText(TransceiverParameter parameter, const CalibrationState& state);
// All six value boxes (PulsesText ... PowerX10Text).
QList<BoxUpdate> valueBoxTexts(const CalibrationState& state);

// "Invalid Value" with what the box takes: the values of the slider's two ends, with the unit.
QString invalidTransceiverValueText(TransceiverParameter parameter);
QString invalidCurrentText();

} // namespace velto::calibration
