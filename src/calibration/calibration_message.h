#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velto::calibration {

// Every calibration command is one six-byte message: '!', the command letter, two data bytes, the
// XOR of the four bytes before it, and '@'. The unit never answers.
constexpr qsizetype kMessageSize = 6;
constexpr char kMessageStart = '!';
constexpr char kMessageEnd = 0x40;
constexpr qsizetype kXorAt = 4;
constexpr char kFirstLetter = 'A';
constexpr char kLastLetter = 'U';
constexpr char kFirstCurrentLetter = 'G';
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

// One message as it stands: its letter and data bytes, and whether its start, XOR and end byte are
// right. Nothing for bytes of another size.
struct MessageFields {
    char letter = 0;
    CodeBytes data;
    bool startOk = false;
    bool xorOk = false;
    bool endOk = false;
    bool whole() const { return startOk && xorOk && endOk; }
};
std::optional<MessageFields> readMessage(QByteArrayView frame);

// The relay switches' letters, 'O'..'U'.
constexpr bool isRelayLetter(char letter)
{
    return letter >= kFirstRelayLetter && letter <= kMultiSensorRelayLetter;
}
// What a letter's message sets, named as the calibration window's lists name it ("Gain",
// "I/O 2 20mA") or for what it does ("relay 3"); nothing for a letter no message uses.
std::optional<QString> messageName(char letter);

// "21 42 46 00 25 40"
QString hexBytes(QByteArrayView bytes);
// A code as the panels show it: upper-case hexadecimal without leading zeros ("46").
QString hexCode(int code);

} // namespace velto::calibration
