#include "app/trend_opener.h"

#include "app/main_context.h"
#include "common/clock.h"
#include "trend/poll_feed.h"
#include "trend/trend_store.h"
#include "ui/trend_window.h"

#include <QAbstractButton>
#include <QPointer>

#include <memory>

namespace velto::app {

void installTrend(MainContext& ctx, modbus::SingleSensorPoller& sensor, veltoproto::VeltoPoller& velto)
{
    auto* store = new trend::TrendStore(&ctx.window);
    auto* feed = new trend::PollFeed(*store, SystemClock::instance(), store);
    ctx.trendFeed = feed;
    feed->watch(sensor);
    feed->watch(velto);
    QObject::connect(&ctx.window, &ui::MainWindow::pollingStopped, feed, &trend::PollFeed::pollingStopped);

    auto window = std::make_shared<QPointer<ui::TrendWindow>>();
    ctx.tools.trend = [&ctx, store, window]() -> QWidget* {
        if (!*window)
            *window = new ui::TrendWindow(*store, ctx.prompter, &ctx.window);
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
        return window->get();
    };
    QObject::connect(ctx.window.entry(QStringLiteral("mnuTrend")), &QAction::triggered, &ctx.window,
        [&ctx] { ctx.tools.trend(); });
}

void openTrendFrom(MainContext& ctx, QAbstractButton* button)
{
    QObject::connect(button, &QAbstractButton::clicked, button, [&ctx] {
        if (ctx.tools.trend)
            ctx.tools.trend();
    });
}

} // namespace velto::app
