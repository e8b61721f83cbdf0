#pragma once

#include "common/range_rule.h"

#include <QString>
#include <QStringView>
#include <optional>

namespace velto::veltoproto {

inline const QString kVeltoAddressMessage
    = QStringLiteral("Wrong number. Enter your valid ID address between 0 to 255 sec (default value 1)");
inline const QString kModbusAddressMessage
    = QStringLiteral("Wrong value. Enter your valid ID address between 1 to 255 sec (default value 1)");

// What the window does with an address box's text after a change.
struct AddressEntry {
    // The value for CurrentSlaveId; empty when the box is empty (still typing) and the previous
    // address stays.
    std::optional<qint16> address;
    // Shown in a message box (OK only) when not empty.
    QString message;
    // Put back into the box when set; the check then runs again on it and passes.
    std::optional<QString> replacementText;
};

enum class AddressMode { Velto, Modbus };

// TxtOrvixId: 0..255 in the Velto mode (out of range gives "0"), 1..255 in the Modbus mode (gives
// "1"); a Modbus request never names the broadcast address 0.
const RangeRule& orvixIdRule(AddressMode mode);
// TxtOrvix2Id: 1..255 in either mode, out of range gives "2".
const RangeRule& orvix2IdRule();

// The rule applied to a box as it is being typed into: text that is not a whole number in range
// gives the rule's message and default; an empty box changes nothing yet.
AddressEntry checkOrvixId(QStringView text, AddressMode mode);
AddressEntry checkOrvix2Id(QStringView text);

} // namespace velto::veltoproto
