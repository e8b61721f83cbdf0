#pragma once

#include "app/main_context.h"

namespace velto::app {

// Puts the multi-sensor calibration window behind the "&Calibration " entry: one window, made when
// first opened and loaded again at every opening.
void installCalibrationTool(MainContext& ctx);

} // namespace velto::app
