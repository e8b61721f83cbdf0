#include "app/flash_burning_opener.h"

#include "app/main_context.h"
#include "app/traffic_monitor_opener.h"
#include "flash/hex_order_runner.h"
#include "ui/flash_burning_window.h"
#include "ui_flash_burning_window.h"

#include <QPointer>

#include <memory>

namespace velto::app {

void installFlashBurningOpener(MainContext& ctx)
{
    auto window = std::make_shared<QPointer<ui::FlashBurningWindow>>();
    ctx.tools.flashBurning = [&ctx, window]() -> QWidget* {
        if (*window)
            return window->get();
        // Unloaded on close: every opening starts from a fresh window.
        auto* w = new ui::FlashBurningWindow(ctx.VeltoComm, ctx.prompter, ctx.connected(),
            flash::HexOrderRunner::defaultProgram(), {}, &ctx.window);
        w->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(w, &ui::FlashBurningWindow::unloaded, &ctx.window, &QWidget::show);
        openTrafficMonitorFrom(ctx, w->form().TrafficMonitorCommand);
        *window = w;
        return w;
    };
}

} // namespace velto::app
