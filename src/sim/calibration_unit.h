#pragma once

#include "calibration/calibration_message.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <functional>
#include <optional>

namespace velto::sim {

// The calibration side of a multi-sensor unit. It takes six-byte messages ('!', a letter 'A'..'U',
// two data bytes, the XOR of the four bytes before, '@'), keeps what they set and never answers.
// Data words are kept exactly as they arrived, so a test can see what the unit was sent.
class CalibrationUnit {
public:
    // The message format is the calibration window's own.
    static constexpr qsizetype kMessageSize = calibration::kMessageSize;
    static constexpr char kEnd = calibration::kMessageEnd;
    static constexpr int kTransceiverWords = 6; // 'A'..'F'
    static constexpr int kCurrentWords = 6; // 'G'..'L'
    static constexpr int kRelaySwitches = calibration::kRelaySwitchCount; // 'O'..'T', then 'U'

    struct Message {
        char letter = 0;
        quint16 word = 0; // data high, data low
    };

    static bool isLetter(char c) { return c >= calibration::kFirstLetter && c <= calibration::kLastLetter; }
    // A message whose start, letter, XOR and end byte are right; nothing otherwise.
    static std::optional<Message> parse(QByteArrayView frame);

    CalibrationUnit();

    // Takes one framed message. Malformed messages (and relay or follow-up messages with data
    // they never carry) are counted and change nothing.
    void receive(QByteArrayView frame);

    // Parameter words received since power-up ('A'..'F', index 0..5), and those in force since
    // the last 'M' follow-up.
    quint16 transceiverWord(int index) const;
    quint16 appliedTransceiverWord(int index) const;
    quint16 currentWord(int index) const; // 'G'..'L'
    bool relay(int relay) const; // 1..6, 7 = the multi-sensor relay
    bool awaitingFollowUp() const { return m_awaitingFollowUp; }
    int followUps() const { return m_followUps; }
    int defaultsRestored() const { return m_defaultsRestored; }
    int accepted() const { return m_accepted; }
    int rejected() const { return m_rejected; }
    QByteArray lastMessage() const { return m_last; }

    // Told of every message taken, for a running display of what the unit received.
    std::function<void(QByteArrayView frame, bool accepted)> onMessage;

    // The words the program sends for the factory default codes 14, 70, 65, 500, 150 and 0.
    static std::array<quint16, kTransceiverWords> defaultTransceiverWords();

private:
    bool apply(const Message& message);

    std::array<quint16, kTransceiverWords> m_transceiver;
    std::array<quint16, kTransceiverWords> m_applied;
    // The nominal 4 mA and 20 mA codes until trimmed.
    std::array<quint16, kCurrentWords> m_current { 0x31C0, 0x31C0, 0x31C0, 0xDCA4, 0xDCA4, 0xDCA4 };
    std::array<bool, kRelaySwitches> m_relays {};
    bool m_awaitingFollowUp = false;
    int m_followUps = 0;
    int m_defaultsRestored = 0;
    int m_accepted = 0;
    int m_rejected = 0;
    QByteArray m_last;
};

} // namespace velto::sim
