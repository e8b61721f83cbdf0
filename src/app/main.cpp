#include "app/main_controller.h"
#include "app/session_replayer.h"
#include "app/simulated_lines.h"
#include "app/splash_window.h"
#include "modbus/port_modbus_master.h"
#include "modbus/rtu_master.h"
#include "serial/port_link.h"
#include "serial/port_scanner.h"
#include "serial/tapped_byte_link.h"
#include "ui/logo.h"
#include "ui/qt_prompter.h"

#include <QApplication>
#include <memory>

using namespace velto;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velto PC Control Application"));
    QApplication::setOrganizationName(QStringLiteral("Velto"));
    // Names the installed desktop entry, so Wayland compositors show its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velto.pccontrol"));
    QApplication::setWindowIcon(ui::veltoIcon());

    ui::QtPrompter prompter;
    // Every byte of every protocol passes the traffic monitor's taps: the byte protocols' line and
    // the Modbus master's, never open at the same time. Each is a serial port or a serial device
    // server by its tcp:// or rfc2217:// address.
    serial::PortLink port;
    serial::TappedByteLink byteLink(port);
    serial::PortLink modbusPort;
    serial::TappedByteLink modbusLine(modbusPort);
    modbus::RtuMaster rtuMaster(modbusLine);
    // Modbus TCP for an mbtcp:// address, RTU on the line for the rest.
    modbus::PortModbusMaster master(rtuMaster);
    app::SimulatedLines simulatedLines(app::SimulatedLines::joinFromEnvironment());

    auto scanPorts = [] {
        QList<serial::PortChoice> choices;
        for (const serial::PortEntry& port : serial::PortScanner().scan())
            choices.append({ port.systemLocation, port.displayText, false });
        return choices;
    };
    auto simulatorPath = [&simulatedLines] { return simulatedLines.sensorsLocation(); };
    auto debugSimulatorPath = [&simulatedLines] { return simulatedLines.debugOutputLocation(); };

    // A recorded session as the far end; choosing one again replaces the last.
    app::SessionReplayer replayer;
    auto replayPath
        = [&replayer](const QString& file, QString& error) { return replayer.start(file, error); };

    app::MainController controller(
        { master, byteLink, prompter, scanPorts, simulatorPath, debugSimulatorPath, replayPath });
    prompter.setParentWidget(&controller.window());

    auto* splash = new app::SplashWindow;
    QObject::connect(splash, &app::SplashWindow::finished, &controller.window(), &QWidget::show);
    splash->show();
    return QApplication::exec();
}
