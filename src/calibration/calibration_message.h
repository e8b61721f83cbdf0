#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace velto::calibration {

// Every calibration command is one six-byte message: '!', the command letter, two data bytes, the
// XOR of the four bytes before it, and '@'. The unit never answers.
constexpr qsizetype kMessageSize = 6;
constexpr char kMessageStart = '!';
constexpr char kMessageEnd = 0x40;
constexpr char kFollowUpLetter = 'M';
constexpr char kDefaultsLetter = 'N';
constexpr char kFirstRelayLetter = 'O';
constexpr char kMultiSensorRelayLetter = 'U';

// Relays 1..6 and, as the seventh switch, the multi-sensor relay.
constexpr int kRelayCount = 6;
constexpr int kMultiSensorRelay = 7;
constexpr int kRelaySwitchCount = 7;

struct CodeBytes {
    quint8 high = 0;
    quint8 low = 0;
    bool operator==(const CodeBytes&) const = default;
};

// Data bytes of a code as the unit receives them: the code's hexadecimal digits without leading
// zeros, padded with zeros on the right to four digits (14 = E goes out as E0 00, 500 = 1F4 as
// 1F 40), then read as two bytes.
CodeBytes codeBytes(quint16 code);

QByteArray buildMessage(char letter, CodeBytes data);
QByteArray codeMessage(char letter, quint16 code);
QByteArray followUpMessage();
QByteArray defaultsMessage();
// relay 1..6, or kMultiSensorRelay; an empty array for any other number.
QByteArray relayMessage(int relay, bool on);

// "21 42 46 00 25 40"
QString hexBytes(QByteArrayView bytes);
// A code as the panels show it: upper-case hexadecimal without leading zeros ("46").
QString hexCode(int code);

} // namespace velto::calibration
