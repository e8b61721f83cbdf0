#include "sim/calibration_unit.h"

namespace velto::sim {

namespace {
using calibration::kDefaultsLetter;
using calibration::kFirstCurrentLetter;
using calibration::kFirstLetter;
using calibration::kFirstRelayLetter;
using calibration::kFollowUpLetter;
constexpr quint16 kRelayOff = 0x0000;
constexpr quint16 kRelayOn = 0x0001;
} // namespace

std::array<quint16, CalibrationUnit::kTransceiverWords> CalibrationUnit::defaultTransceiverWords()
{
    // Short hexadecimal codes arrive left-aligned: 14 = E as E0 00, 500 = 1F4 as 1F 40.
    return { 0xE000, 0x4600, 0x4100, 0x1F40, 0x9600, 0x0000 };
}

std::optional<CalibrationUnit::Message> CalibrationUnit::parse(QByteArrayView frame)
{
    const auto fields = calibration::readMessage(frame);
    if (!fields || !fields->whole() || !isLetter(fields->letter))
        return std::nullopt;
    return Message { fields->letter, quint16(fields->data.high << 8 | fields->data.low) };
}

CalibrationUnit::CalibrationUnit()
    : m_transceiver(defaultTransceiverWords())
    , m_applied(defaultTransceiverWords())
{
}

void CalibrationUnit::receive(QByteArrayView frame)
{
    const std::optional<Message> message = parse(frame);
    const bool ok = message && apply(*message);
    if (ok) {
        ++m_accepted;
        m_last = frame.toByteArray();
    } else {
        ++m_rejected;
    }
    if (onMessage)
        onMessage(frame, ok);
}

bool CalibrationUnit::apply(const Message& m)
{
    const int letter = m.letter;
    if (letter < kFirstCurrentLetter) {
        m_transceiver[size_t(letter - kFirstLetter)] = m.word;
        m_awaitingFollowUp = true;
        return true;
    }
    if (letter < kFollowUpLetter) {
        m_current[size_t(letter - kFirstCurrentLetter)] = m.word;
        return true;
    }
    if (letter == kFollowUpLetter || letter == kDefaultsLetter) {
        if (m.word != 0)
            return false;
        if (letter == kDefaultsLetter) {
            m_transceiver = defaultTransceiverWords();
            m_awaitingFollowUp = true;
            ++m_defaultsRestored;
        } else {
            m_applied = m_transceiver;
            m_awaitingFollowUp = false;
            ++m_followUps;
        }
        return true;
    }
    if (m.word != kRelayOff && m.word != kRelayOn)
        return false;
    m_relays[size_t(letter - kFirstRelayLetter)] = m.word == kRelayOn;
    return true;
}

quint16 CalibrationUnit::transceiverWord(int index) const
{
    return index >= 0 && index < kTransceiverWords ? m_transceiver[size_t(index)] : 0;
}

quint16 CalibrationUnit::appliedTransceiverWord(int index) const
{
    return index >= 0 && index < kTransceiverWords ? m_applied[size_t(index)] : 0;
}

quint16 CalibrationUnit::currentWord(int index) const
{
    return index >= 0 && index < kCurrentWords ? m_current[size_t(index)] : 0;
}

bool CalibrationUnit::relay(int relay) const
{
    return relay >= 1 && relay <= kRelaySwitches && m_relays[size_t(relay - 1)];
}

} // namespace velto::sim
