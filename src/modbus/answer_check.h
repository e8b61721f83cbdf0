#pragma once

#include "modbus/modbus_result.h"

#include <QByteArrayView>
#include <optional>

namespace velto::modbus {

// Whether a request may go out and whether an answer fits the request it came for. Every master
// judges its requests and answers with these, so a failure is never reported as a success.

// A refusal for a request that names no single slave (0 is broadcast, which no slave answers);
// nothing when the address is fine.
std::optional<ModbusResult> refuseSlave(int slave);

// A refusal for registers one request cannot carry: none, more than `maxCount`, or any outside
// 0..65535; nothing when they fit.
std::optional<ModbusResult> refuseRegisters(int start, int count, int maxCount);

// A read is good only when it brought exactly the registers asked for; a successful result with any
// other count becomes an invalid answer. Other results pass unchanged.
ModbusResult checkReadAnswer(ModbusResult result, int count);

// The echo of a write: Write Single Register repeats register and value, Write Multiple Registers
// repeats the first register and the count. `requestData` and `answerData` are the PDU bytes after
// the function code. The reason the echo does not fit, or nothing when it does.
std::optional<QString> writeEchoMismatch(
    bool singleRegister, QByteArrayView requestData, QByteArrayView answerData);

// "Invalid response: <reason>", the text of StatusInvalidResponse.
ModbusResult invalidAnswer(const QString& reason);

} // namespace velto::modbus
