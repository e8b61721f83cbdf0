#include "ui/tool_window_exit.h"

#include "modbus/modbus_master.h"
#include "modbus/timeout_rule.h"
#include "ui/main_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace velto::ui {

namespace {

// The main window's box as it stands; a box still being typed into falls back to its default.
int timeoutOf(const MainWindow& main, const char* boxName, const modbus::TimeoutRule& rule)
{
    const auto* box = main.findChild<QLineEdit*>(QString::fromLatin1(boxName));
    const auto ms = box ? modbus::parseWholeNumber(box->text()) : std::nullopt;
    return ms && *ms >= rule.minimumMs && *ms <= rule.maximumMs ? *ms : rule.defaultMs;
}

} // namespace

void restoreMainWindowAfterRegisterTool(MainWindow& main, modbus::ModbusMaster& master)
{
    main.TimerForJump2DevicesModbus->stop();
    if (auto* id = main.findChild<QLineEdit*>(QStringLiteral("TxtOrvixId")))
        id->setText(QStringLiteral("1"));
    for (const char* second : { "LabelOrvix2Id", "TxtOrvix2Id" }) {
        if (auto* w = main.findChild<QWidget*>(QString::fromLatin1(second)))
            w->hide();
    }
    if (auto* units = main.findChild<QComboBox*>(QStringLiteral("NoOfUnitCombo"));
        units && units->count() > 0)
        units->setCurrentIndex(0);
    master.setRxTimeout(timeoutOf(main, "Rcv_Timeout_Text", modbus::kReceiveTimeoutRule));
    master.setTxTimeout(timeoutOf(main, "Xmt_Timeout_Text", modbus::kTransmitTimeoutRule));
    main.show();
}

} // namespace velto::ui
