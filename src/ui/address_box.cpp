#include "ui/address_box.h"

#include "ui/timeout_box.h"

#include <QLineEdit>

namespace velto::ui {

int commitAddressBox(QLineEdit* box, const RangeRule& rule, Prompter& prompter)
{
    const RangeDecision decision = checkRangeText(box->text(), rule, prompter);
    if (decision.replacementText)
        putBack(box, *decision.replacementText);
    return decision.value;
}

} // namespace velto::ui
