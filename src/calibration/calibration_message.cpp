#include "calibration/calibration_message.h"

#include "calibration/current_output.h"
#include "calibration/transceiver_parameter.h"

#include <QStringList>

namespace velto::calibration {

namespace {
constexpr int kCodeDigits = 4;
constexpr int kBitsPerDigit = 4;
constexpr int kBitsPerByte = 8;
constexpr quint8 kRelayOn = 0x01;
constexpr quint8 kRelayOff = 0x00;

int hexDigits(quint16 code)
{
    int digits = 1;
    while (digits < kCodeDigits && (code >> (digits * kBitsPerDigit)) != 0)
        ++digits;
    return digits;
}
} // namespace

CodeBytes codeBytes(quint16 code)
{
    const quint16 word = quint16(code << ((kCodeDigits - hexDigits(code)) * kBitsPerDigit));
    return { quint8(word >> kBitsPerByte), quint8(word & 0xFF) };
}

QByteArray buildMessage(char letter, CodeBytes data)
{
    QByteArray message(kMessageSize, '\0');
    message[0] = kMessageStart;
    message[1] = letter;
    message[2] = char(data.high);
    message[3] = char(data.low);
    message[kXorAt] = char(message[0] ^ message[1] ^ message[2] ^ message[3]);
    message[5] = kMessageEnd;
    return message;
}

QByteArray codeMessage(char letter, quint16 code)
{
    return buildMessage(letter, codeBytes(code));
}

QByteArray followUpMessage()
{
    return buildMessage(kFollowUpLetter, {});
}

QByteArray defaultsMessage()
{
    return buildMessage(kDefaultsLetter, {});
}

QByteArray relayMessage(int relay, bool on)
{
    if (relay < 1 || relay > kRelaySwitchCount)
        return {};
    const char letter
        = relay == kMultiSensorRelay ? kMultiSensorRelayLetter : char(kFirstRelayLetter + relay - 1);
    return buildMessage(letter, { 0, on ? kRelayOn : kRelayOff });
}

std::optional<MessageFields> readMessage(QByteArrayView frame)
{
    if (frame.size() != kMessageSize)
        return std::nullopt;
    MessageFields fields;
    fields.letter = frame[1];
    fields.data = { quint8(frame[2]), quint8(frame[3]) };
    fields.startOk = frame[0] == kMessageStart;
    fields.xorOk = char(frame[0] ^ frame[1] ^ frame[2] ^ frame[3]) == frame[kXorAt];
    fields.endOk = frame[kMessageSize - 1] == kMessageEnd;
    return fields;
}

std::optional<QString> messageName(char letter)
{
    for (const TransceiverRow& row : transceiverRows()) {
        if (row.letter == letter)
            return QString::fromUtf8(row.text);
    }
    for (const CurrentRow& row : currentRows()) {
        if (row.letter == letter)
            return QString::fromUtf8(row.text);
    }
    switch (letter) {
    case kFollowUpLetter:
        return QStringLiteral("follow-up after transceiver changes");
    case kDefaultsLetter:
        return QStringLiteral("default transceiver parameters");
    case kMultiSensorRelayLetter:
        return QStringLiteral("multi-sensor relay");
    default:
        break;
    }
    if (isRelayLetter(letter))
        return QStringLiteral("relay %1").arg(letter - kFirstRelayLetter + 1);
    return std::nullopt;
}

QString hexBytes(QByteArrayView bytes)
{
    QStringList parts;
    for (char b : bytes)
        parts << QStringLiteral("%1").arg(quint8(b), 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

QString hexCode(int code)
{
    return QString::number(code, 16).toUpper();
}

} // namespace velto::calibration
