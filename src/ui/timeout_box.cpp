#include "ui/timeout_box.h"

#include "modbus/modbus_master.h"
#include "modbus/timeout_rule.h"

namespace velto::ui {

void putBack(QLineEdit* box, const QString& text)
{
    const QSignalBlocker quiet(box);
    box->setText(text);
}

void applyTimeoutBox(TimeoutBox kind, QLineEdit* box, const QString& text, modbus::ModbusMaster& master,
    Prompter& prompter, QTimer* pollTimer)
{
    const bool receive = kind == TimeoutBox::Receive;
    const RangeDecision decision = checkRangeText(
        text, receive ? modbus::kReceiveTimeoutRule : modbus::kTransmitTimeoutRule, prompter);
    if (decision.replacementText)
        putBack(box, *decision.replacementText);
    if (receive) {
        master.setRxTimeout(decision.value);
        return;
    }
    master.setTxTimeout(decision.value);
    if (pollTimer)
        pollTimer->setInterval(decision.value);
}

} // namespace velto::ui
