#include "app/main_controller.h"
#include "app/session_replayer.h"
#include "app/splash_window.h"
#include "modbus/port_modbus_master.h"
#include "modbus/rtu_master.h"
#include "serial/port_link.h"
#include "serial/port_scanner.h"
#include "serial/tapped_byte_link.h"
#include "sim/simulated_line.h"
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
    std::unique_ptr<sim::SimulatedLine> simulatedLine;
    std::unique_ptr<sim::SimulatedLine> debugLine;

    auto scanPorts = [] {
        QList<serial::PortChoice> choices;
        for (const serial::PortEntry& port : serial::PortScanner().scan())
            choices.append({ port.systemLocation, port.displayText, false });
        return choices;
    };
    // The simulated sensors start the first time they are opened and run until the program ends.
    auto simulatorPath = [&simulatedLine] {
        if (!simulatedLine)
            simulatedLine = std::make_unique<sim::SimulatedLine>();
        return simulatedLine->isValid() ? simulatedLine->devicePath() : QString();
    };

    // A second simulated line where a Taliq485 prints its debug output, for the debug terminal.
    auto debugSimulatorPath = [&debugLine] {
        if (!debugLine) {
            debugLine = std::make_unique<sim::SimulatedLine>();
            debugLine->startDebugOutput();
        }
        return debugLine->isValid() ? debugLine->devicePath() : QString();
    };

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
