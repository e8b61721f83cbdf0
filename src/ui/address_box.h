#pragma once

#include "common/range_rule.h"

class QLineEdit;

namespace velto {
class Prompter;
}

namespace velto::ui {

// The address a box names where it is taken for a request (a sensor-count choice, a mode, Connect,
// the two-sensor switch). A box that names none under the rule, empty included, shows the rule's
// message and gets the rule's default back, which is then the address.
int commitAddressBox(QLineEdit* box, const RangeRule& rule, Prompter& prompter);

} // namespace velto::ui
