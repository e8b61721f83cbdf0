#include "app/traffic_monitor_opener.h"

#include "app/connection_controller.h"
#include "app/main_context.h"
#include "common/clock.h"
#include "serial/tapped_byte_link.h"
#include "traffic/traffic_recorder.h"
#include "ui/traffic_monitor_window.h"

#include <QAbstractButton>
#include <QPointer>

#include <memory>

namespace velto::app {

void installTrafficMonitor(MainContext& ctx, ConnectionController& connection)
{
    auto* recorder = new traffic::TrafficRecorder(SystemClock::instance(), &ctx.window);
    ctx.traffic = recorder;
    if (auto* tapped = qobject_cast<serial::TappedByteLink*>(&ctx.VeltoComm))
        recorder->watchLine(*tapped);
    if (auto* tapped = qobject_cast<serial::TappedByteLink*>(ctx.SMRX1.line()))
        recorder->watchLine(*tapped);
    recorder->watchModbus(ctx.SMRX1);

    // Connected exactly while the Connect entry is disabled: "since connect" counts from its OK.
    QObject::connect(ctx.window.entry(QStringLiteral("mnuConnect")), &QAction::enabledChanged, recorder,
        [&ctx, &connection, recorder](bool connectEnabled) {
            if (connectEnabled) {
                recorder->markConnected(QStringLiteral("Disconnected"));
                return;
            }
            const QString port = connection.portLocation();
            recorder->setLine(port, ctx.state.serial.SerialSettings);
            recorder->markConnected(
                QStringLiteral("Connected: %1 at %2").arg(port, ctx.state.serial.SerialSettings));
        });

    auto window = std::make_shared<QPointer<ui::TrafficMonitorWindow>>();
    ctx.tools.trafficMonitor = [&ctx, recorder, window]() -> QWidget* {
        if (!*window) {
            // A window of its own over the main window, which it outlives by nothing.
            *window = new ui::TrafficMonitorWindow(*recorder, ctx.prompter, &ctx.window);
        }
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
        return window->get();
    };
    QObject::connect(ctx.window.entry(QStringLiteral("mnuTrafficMonitor")), &QAction::triggered, &ctx.window,
        [&ctx] { ctx.tools.trafficMonitor(); });
}

void openTrafficMonitorFrom(MainContext& ctx, QAbstractButton* button)
{
    QObject::connect(button, &QAbstractButton::clicked, button, [&ctx] {
        if (ctx.tools.trafficMonitor)
            ctx.tools.trafficMonitor();
    });
}

void openTrafficMonitorFrom(MainContext& ctx, QAction* entry)
{
    QObject::connect(entry, &QAction::triggered, entry, [&ctx] {
        if (ctx.tools.trafficMonitor)
            ctx.tools.trafficMonitor();
    });
}

} // namespace velto::app
