#pragma once

#include <QString>

namespace velto::modbus {

// "Illegal Data Address (exception 2)" and so on.
QString exceptionText(int exceptionCode);

// The status callers see for a Modbus exception answer: Server Device Busy is the sensor in its
// keypad menu (12, shown as "Device in Configuration"), any other is StatusExceptionBase + code.
int statusForException(int exceptionCode);

} // namespace velto::modbus
