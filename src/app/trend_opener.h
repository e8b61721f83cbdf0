#pragma once

class QAbstractButton;

namespace velto::modbus {
class SingleSensorPoller;
}

namespace velto::veltoproto {
class VeltoPoller;
}

namespace velto::app {

struct MainContext;

// The trend of the readings: its store and feed live as long as the main window and take every
// poll of the main window's modes; "&Trend..." of the Option menu opens its window.
void installTrend(MainContext& ctx, modbus::SingleSensorPoller& sensor, veltoproto::VeltoPoller& velto);

// A tool window's button that opens the trend window.
void openTrendFrom(MainContext& ctx, QAbstractButton* button);

} // namespace velto::app
