#pragma once

#include "app/main_controller.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui/main_window.h"
#include "ui/port_setup_window.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

namespace Ui {
class ProtocolChoose;
}

namespace velto::test {

// The whole main window over fake lines: one fake port to choose and the simulated sensors' entry.
struct MainWindowRig {
    FakeModbusMaster master;
    FakeByteLink link;
    FakePrompter prompter;
    QList<serial::PortChoice> ports { { "/dev/ttyFAKE0", "/dev/ttyFAKE0", false } };
    app::MainController controller { { master, link, prompter, [this] { return ports; },
        [] { return QStringLiteral("/dev/simulated"); } } };

    ui::MainWindow& window() { return controller.window(); }
    Ui::ProtocolChoose& f() { return controller.window().form(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    bool enabled(const char* entry) { return window().entry(entry)->isEnabled(); }
    // Connect, and OK in the port window on the port it offers.
    void connect()
    {
        trigger("mnuConnect");
        // By name: the form header is generated only for the tests that include it themselves.
        QTest::mouseClick(
            controller.connection().portWindow()->findChild<QPushButton*>("btnOKPortSetUp"), Qt::LeftButton);
    }
};

} // namespace velto::test
