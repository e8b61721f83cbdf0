#include "serial/telnet_decoder.h"

namespace velto::serial {

using namespace telnet;

TelnetDecoder::Output TelnetDecoder::feed(QByteArrayView bytes)
{
    Output out;
    out.data.reserve(bytes.size());
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        switch (m_state) {
        case State::Data:
            if (byte == kIac)
                m_state = State::Iac;
            else
                out.data.append(c);
            break;
        case State::Iac:
            command(byte, out);
            break;
        case State::Option:
            out.commands.append({ m_verb, byte, {}, false });
            m_state = State::Data;
            break;
        case State::SubOption:
            m_sub = { kSb, byte, {}, false };
            m_state = State::Sub;
            break;
        case State::Sub:
            if (byte == kIac) {
                m_state = State::SubIac;
            } else if (m_sub.payload.size() < kMaxPayloadBytes) {
                m_sub.payload.append(c);
            } else {
                m_sub.truncated = true;
            }
            break;
        case State::SubIac:
            if (byte == kIac) {
                if (m_sub.payload.size() < kMaxPayloadBytes)
                    m_sub.payload.append(c);
                else
                    m_sub.truncated = true;
                m_state = State::Sub;
            } else if (byte == kSe) {
                out.commands.append(std::exchange(m_sub, {}));
                m_state = State::Data;
            } else {
                // A command inside a subnegotiation: the server gave up on it. Drop what was
                // gathered and take the command as it stands.
                m_sub = {};
                command(byte, out);
            }
            break;
        }
    }
    return out;
}

void TelnetDecoder::command(quint8 byte, Output& out)
{
    switch (byte) {
    case kIac:
        out.data.append(char(kIac));
        m_state = State::Data;
        break;
    case kWill:
    case kWont:
    case kDo:
    case kDont:
        m_verb = byte;
        m_state = State::Option;
        break;
    case kSb:
        m_state = State::SubOption;
        break;
    default:
        // NOP, GA, SE without SB, and the rest: nothing for the line.
        out.commands.append({ byte, 0, {}, false });
        m_state = State::Data;
        break;
    }
}

void TelnetDecoder::reset()
{
    m_state = State::Data;
    m_verb = 0;
    m_sub = {};
}

QByteArray escapeIac(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.count(char(kIac)));
    for (const char c : bytes) {
        out.append(c);
        if (quint8(c) == kIac)
            out.append(c);
    }
    return out;
}

} // namespace velto::serial
