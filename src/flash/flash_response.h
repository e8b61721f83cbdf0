#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velto::flash {

// What was sent: a bootloader command (">B0", ">B1", ">B4") or one line of the HEX file.
enum class FlashRequest { Command, Line };

// The first two bytes of the device's answer, judged. The device answers a HEX line with ':' and a
// code and a command with '<' and a code.
struct FlashResponse {
    enum class Kind { TooShort, LineAnswer, CommandAnswer, Other };

    static constexpr char kLineAnswerStart = ':';
    static constexpr char kCommandAnswerStart = '<';
    static constexpr quint8 kSlowWrite = 0xA4;
    static constexpr quint8 kEndOfFile = 0xA5;
    static constexpr quint8 kStartBurn = 0xB7;
    static constexpr quint8 kTestSucceeded = 0xB2;
    static constexpr quint8 kTestFailed = 0xB3;
    static constexpr quint8 kEraseSucceeded = 0xB5;
    static constexpr quint8 kEraseFailed = 0xB6;

    Kind kind = Kind::TooShort;
    quint8 code = 0;
    // The status to show; empty optional leaves the status as it is.
    std::optional<QString> statusText;
    // The transcript mark; empty for none.
    QString mark;
    bool accepted = false;
    // The code is one of the table's; the mark then names it (":A2", "<B7").
    bool listed = false;
    // The device is still writing: the answer counts after a pause (code 0xA4).
    bool pauseFirst = false;
};

// Judges any bytes; only the first two count. An answer that the table would accept but that does
// not fit the request (a ':' answer to a command, a '<' answer to a HEX line) is not accepted and
// shows "Accidental Response".
FlashResponse judgeFlashResponse(QByteArrayView bytes, FlashRequest request);

} // namespace velto::flash
