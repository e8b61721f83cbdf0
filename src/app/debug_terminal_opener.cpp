#include "app/debug_terminal_opener.h"

#include "app/connection_controller.h"
#include "app/main_context.h"
#include "app/traffic_monitor_opener.h"
#include "common/clock.h"
#include "serial/port_link.h"
#include "serial/tapped_byte_link.h"
#include "traffic/traffic_recorder.h"
#include "ui/screen_fit.h"
#include "ui/taliq485_debug_window.h"
#include "ui_taliq485_debug_window.h"

#include <QFileInfo>
#include <QPointer>
#include <memory>

namespace velto::app {

namespace {

// Settings of the debug port while no connection is up.
constexpr auto kDefaultSettings = "9600,n,8,1";

// The same device whatever way its path was written (a symlink such as /dev/serial/by-id/...).
QString sameDevice(const QString& location)
{
    const QString canonical = QFileInfo(location).canonicalFilePath();
    return canonical.isEmpty() ? location : canonical;
}

// The main window's port and settings when connected; otherwise the port last chosen in the port
// window, else the first serial port found, at 9600,n,8,1.
ui::DebugPort debugPort(MainContext& ctx, ConnectionController& connection)
{
    if (ctx.connected())
        return { connection.portLocation(), ctx.state.serial.SerialSettings };
    QString location = ctx.state.serial.SettingsSaved ? connection.portLocation() : QString();
    if (location.isEmpty() && connection.portScan()) {
        for (const serial::PortChoice& port : connection.portScan()()) {
            if (!port.simulated && !port.location.isEmpty()) {
                location = port.location;
                break;
            }
        }
    }
    return { location, QString::fromLatin1(kDefaultSettings) };
}

// Start on the port the main window holds: its polling stops and its line closes; choosing a mode
// again reopens it as usual.
void releaseMainLine(MainContext& ctx, ConnectionController& connection, const QString& location)
{
    const QString wanted = sameDevice(location);
    const bool byteLinkHolds = ctx.VeltoComm.isOpen() && sameDevice(ctx.VeltoComm.portName()) == wanted;
    const bool modbusHolds = ctx.SMRX1.portOpen() && sameDevice(connection.portLocation()) == wanted;
    if (!byteLinkHolds && !modbusHolds)
        return;
    ctx.window.stopTrafficTimers();
    if (ctx.VeltoComm.isOpen())
        ctx.VeltoComm.close();
    if (ctx.SMRX1.portOpen())
        ctx.SMRX1.closePort();
}

} // namespace

void installDebugTerminalOpener(MainContext& ctx, ConnectionController& connection)
{
    auto current = std::make_shared<QPointer<ui::Taliq485DebugWindow>>();
    ctx.tools.debugTerminal = [&ctx, &connection, current]() -> QWidget* {
        if (*current)
            return current->get();
        // Its own port: the main window's line stays with the main window. The traffic monitor
        // sees it as the debug line.
        auto* port = new serial::PortLink;
        auto* link = new serial::TappedByteLink(*port);
        port->setParent(link);
        if (ctx.traffic)
            ctx.traffic->watchLine(*link, traffic::Protocol::Debug);
        // No parent: the main window finds its menu entries by name, and this window has entries of
        // the same names (mnuFile, mnuExit, mnuOperation). It goes when it is closed or with the main
        // window.
        auto* window = new ui::Taliq485DebugWindow(
            *link, ctx.prompter, SystemClock::instance(),
            [&ctx, &connection] { return debugPort(ctx, connection); },
            [&ctx, &connection](const QString& location) { releaseMainLine(ctx, connection, location); });
        link->setParent(window);
        link->setObjectName(QStringLiteral("Taliq485MSComm"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        openTrafficMonitorFrom(ctx, window->form().mnuTrafficMonitor);
        QObject::connect(window, &ui::Taliq485DebugWindow::exited, &ctx.window, &QWidget::show);
        QObject::connect(&ctx.window, &QObject::destroyed, window, [window] { delete window; });
        // Centred over the main window, which it stands in for.
        ui::fitToScreenOnShow(window, &ctx.window);
        *current = window;
        return window;
    };
}

} // namespace velto::app
