#include "app/flash_burning_opener.h"

#include "app/main_context.h"
#include "app/traffic_monitor_opener.h"
#include "flash/flash_burner.h"
#include "flash/hex_order_runner.h"
#include "traffic/traffic_recorder.h"
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
        // A stopped burn or an exchange out of step shows beside the line's bytes.
        QObject::connect(&w->burner(), &flash::FlashBurner::trafficNote, w, [&ctx](const QString& text) {
            if (!ctx.traffic)
                return;
            traffic::TrafficRow row;
            row.direction = traffic::Direction::Event;
            row.protocol = traffic::Protocol::Flash;
            row.failure = true;
            row.summary = text;
            ctx.traffic->record(row);
        });
        *window = w;
        return w;
    };
}

} // namespace velto::app
