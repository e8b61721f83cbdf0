#include "ui/tool_window_exit.h"

#include "modbus/modbus_master.h"
#include "modbus/timeout_rule.h"
#include "ui/main_window.h"
#include "ui/one_sensor_branch.h"

#include <QLineEdit>

namespace velto::ui {

namespace {

// The main window's box as it stands; a box still being typed into falls back to its default.
int timeoutOf(const MainWindow& main, const char* boxName, const RangeRule& rule)
{
    const auto* box = main.findChild<QLineEdit*>(QString::fromLatin1(boxName));
    return (box ? rule.accept(box->text()) : std::nullopt).value_or(rule.defaultValue);
}

} // namespace

int restoreMainWindowAfterRegisterTool(MainWindow& main, modbus::ModbusMaster& master, Prompter& prompter)
{
    if (auto* id = main.findChild<QLineEdit*>(QStringLiteral("TxtOrvixId")))
        id->setText(QStringLiteral("1"));
    const int address = selectOneSensor(main, prompter);
    master.setRxTimeout(timeoutOf(main, "Rcv_Timeout_Text", modbus::kReceiveTimeoutRule));
    master.setTxTimeout(timeoutOf(main, "Xmt_Timeout_Text", modbus::kTransmitTimeoutRule));
    main.show();
    return address;
}

} // namespace velto::ui
