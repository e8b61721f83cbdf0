#include "app/calibration_tool.h"

#include "app/traffic_monitor_opener.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui_multi_sensor_calibration_window.h"

#include <memory>

namespace velto::app {

void installCalibrationTool(MainContext& ctx)
{
    auto window = std::make_shared<QPointer<ui::MultiSensorCalibrationWindow>>();
    ctx.tools.calibration = [&ctx, window](bool connected) -> QWidget* {
        if (!*window) {
            *window = new ui::MultiSensorCalibrationWindow(
                ctx.VeltoComm, ctx.state.calibration, ctx.prompter, [&ctx] { ctx.window.stopVeltoPolling(); },
                &ctx.window);
            QObject::connect(*window, &ui::MultiSensorCalibrationWindow::closed, &ctx.window, &QWidget::show);
            openTrafficMonitorFrom(ctx, (*window)->form().TrafficMonitorCommand);
        }
        (*window)->Form_Load(connected);
        return window->get();
    };
}

} // namespace velto::app
