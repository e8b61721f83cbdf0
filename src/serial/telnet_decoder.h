#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace velto::serial {

// Telnet's command bytes (RFC 854).
namespace telnet {
constexpr quint8 kSe = 240;
constexpr quint8 kSb = 250;
constexpr quint8 kWill = 251;
constexpr quint8 kWont = 252;
constexpr quint8 kDo = 253;
constexpr quint8 kDont = 254;
constexpr quint8 kIac = 255;
} // namespace telnet

// One command found in the stream: an option verb (WILL, WONT, DO, DONT) with its option, a whole
// subnegotiation (SB) with its option and payload, or a bare command such as NOP or GA.
struct TelnetCommand {
    quint8 verb = 0;
    quint8 option = 0; // of an option verb or a subnegotiation
    QByteArray payload; // of a subnegotiation, IAC IAC already undone
    // The subnegotiation was longer than kMaxPayloadBytes; its tail was dropped.
    bool truncated = false;

    bool operator==(const TelnetCommand&) const = default;
};

// Splits a telnet stream into the bytes of the line and the commands between them. Total: any
// input in reads of any size gives data and commands and never more data than it was given;
// state carries over between reads, so a command split across reads is found whole.
class TelnetDecoder {
public:
    // Subnegotiations of the COM-port option are a few bytes; a server's longer ones are cut here
    // so a stream that never ends its subnegotiation costs no memory.
    static constexpr qsizetype kMaxPayloadBytes = 256;

    struct Output {
        QByteArray data;
        QList<TelnetCommand> commands;
    };

    Output feed(QByteArrayView bytes);
    void reset();
    // True between reads when a command has begun but not ended.
    bool midCommand() const { return m_state != State::Data; }

private:
    enum class State { Data, Iac, Option, SubOption, Sub, SubIac };

    void command(quint8 byte, Output& out);

    State m_state = State::Data;
    quint8 m_verb = 0;
    TelnetCommand m_sub;
};

// The bytes of the line as telnet sends them: every IAC doubled.
QByteArray escapeIac(QByteArrayView bytes);

} // namespace velto::serial
