#include "app/radar_window_opener.h"

#include "app/main_context.h"
#include "app/traffic_monitor_opener.h"
#include "ui/form_rendo.h"
#include "ui_form_rendo.h"

namespace velto::app {

void installRadarWindow(MainContext& ctx)
{
    auto current = std::make_shared<QPointer<ui::FormRendo>>();
    ctx.tools.radar = [&ctx, current](bool connected) -> QWidget* {
        // Every opening loads the window afresh: its values and times start from their defaults.
        if (*current)
            (*current)->deleteLater();
        auto* window = new ui::FormRendo(ctx.VeltoComm, ctx.prompter, SystemClock::instance(), &ctx.window);
        *current = window;
        openTrafficMonitorFrom(ctx, window->form().TrafficMonitorCommand);
        window->setLineSettings(ctx.state.serial.SerialSettings);
        window->setConnected(connected);
        if (connected) {
            ctx.setEnabled(QStringLiteral("mnuOption"), false);
            ctx.setEnabled(QStringLiteral("mnuLog"), false);
        }
        QObject::connect(window, &ui::FormRendo::exited, &ctx.window, [&ctx, window] {
            ctx.setVisible(QStringLiteral("pictTank"), false);
            ctx.window.show();
            window->deleteLater();
        });
        return window;
    };
}

} // namespace velto::app
