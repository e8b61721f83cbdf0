#pragma once

#include "app/main_controller.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui/main_window.h"

#include <QAction>

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
};

} // namespace velto::test
