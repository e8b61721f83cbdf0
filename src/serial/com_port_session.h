#pragma once

#include "serial/serial_settings.h"
#include "serial/telnet_decoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>

namespace velto::serial {

// The client side of telnet with COM-port control (RFC 2217), without the socket: what arrives is
// fed in, the line's bytes come out, and whatever the session has to say to the server (option
// answers, port settings, RTS, purges) is handed back to be sent. Answers to options follow RFC
// 1143, so two sides never loop on each other.
class ComPortSession {
public:
    static constexpr quint8 kBinary = 0;
    static constexpr quint8 kEcho = 1;
    static constexpr quint8 kSuppressGoAhead = 3;
    static constexpr quint8 kComPort = 44;

    struct Received {
        QByteArray data; // bytes of the serial line
        QByteArray reply; // to be sent to the server now
    };

    // The opening negotiation; the settings follow as soon as the server takes COM-port control.
    QByteArray start(const SerialSettings& settings);
    Received receive(QByteArrayView bytes);

    // The line's bytes for the socket.
    static QByteArray encode(QByteArrayView data) { return escapeIac(data); }

    // Control commands; held (and the empty array returned) until the server has taken COM-port
    // control, then sent in order.
    QByteArray setSettings(const SerialSettings& settings);
    QByteArray setRts(bool on);
    // Asks the server to drop what it has received from the serial line and not yet sent.
    QByteArray purgeInput();

    // The server answered COM-port control: taken or refused. Until then data is better held back,
    // since the port may still run at the server's old speed.
    bool negotiated() const { return comPortAgreed() || m_comPortRefused; }
    bool comPortAgreed() const { return m_us[kComPort] == Q::Yes; }
    bool comPortRefused() const { return m_comPortRefused; }
    // The server asked us to stop sending (its buffer is full) and has not resumed yet.
    bool flowSuspended() const { return m_suspended; }
    // Last line state and modem state the server told (RFC 2217 NOTIFY-LINESTATE/-MODEMSTATE).
    quint8 lineState() const { return m_lineState; }
    quint8 modemState() const { return m_modemState; }
    // Baud rate the server confirmed last, 0 before any.
    quint32 confirmedBaudRate() const { return m_confirmedBaud; }

private:
    // An option's state on one side, after RFC 1143: agreed, refused, or asked and not answered.
    enum class Q : quint8 { No, Yes, WantYes, WantNo };

    void onCommand(const TelnetCommand& command, QByteArray& reply);
    void onComPort(QByteArrayView payload);
    QByteArray control(quint8 code, QByteArrayView value);
    static bool weOffer(quint8 option);
    static bool weAccept(quint8 option);

    TelnetDecoder m_decoder;
    std::array<Q, 256> m_us {}; // options on our side (we WILL)
    std::array<Q, 256> m_him {}; // options on the server's side (it WILL)
    QByteArray m_held; // control commands waiting for COM-port control
    bool m_comPortRefused = false;
    bool m_suspended = false;
    quint8 m_lineState = 0;
    quint8 m_modemState = 0;
    quint32 m_confirmedBaud = 0;
};

} // namespace velto::serial
