#pragma once

#include "modbus/modbus_result.h"
#include "modbus/rtu_request.h"

#include <QByteArrayView>
#include <QString>

namespace velto::modbus {

// Where the answer to a request ends in the bytes received after it: RTU answers are framed by the
// length their request and their own header give (a fixed length, or a byte count), not by the
// line's pauses, which adapters and drivers do not keep.
struct AnswerFrame {
    enum class State {
        Incomplete, // a frame has begun; more bytes are needed to tell or to finish it
        Whole, // an answer of `length` bytes starts the bytes
        Unframeable, // no answer to that function starts here: its length cannot be known
    };
    State state = State::Incomplete;
    qsizetype length = 0;
};

// The bytes received since a request of `function` went out. Total: any bytes give a state.
AnswerFrame frameRtuAnswer(QByteArrayView received, quint8 function);

// What one whole frame means for the request it came after.
struct AnswerVerdict {
    // False for a frame that answers someone else or nothing (another slave, a bad CRC): it is no
    // answer to the request, which may still be answered.
    bool ours = false;
    ModbusResult result; // when ours: success, an exception, or an answer that does not fit
    QString notOursReason; // when not: why, for the operator ("an answer from slave 2")
};

AnswerVerdict judgeRtuAnswer(QByteArrayView frame, const RtuRequest& request);

} // namespace velto::modbus
