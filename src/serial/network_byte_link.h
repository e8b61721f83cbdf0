#pragma once

#include "serial/byte_link.h"
#include "serial/com_port_session.h"
#include "serial/network_address.h"
#include "serial/serial_settings.h"

#include <QTcpSocket>
#include <QTimer>

#include <deque>

namespace velto::serial {

// ByteLink to a serial device server over TCP: open("tcp://host:port", settings) for a server in raw
// mode, which passes the line's bytes as they are, or open("rfc2217://host:port", settings) for
// telnet with COM-port control, where the settings and RTS are sent to the server and telnet's own
// bytes never reach the protocols.
//
// open() starts the connection and returns at once; writes wait in the link until the server is
// reached (and, with RFC 2217, has taken COM-port control) and count in bytesToWrite() meanwhile.
// A connection that fails, times out, is closed or reset by the server, or dies silently (noticed by
// TCP keep-alive) is reported like a pulled adapter: errorOccurred(text) at once, then on the next
// turn closed() and lineLost(text), once per loss; the link stays closed until opened again.
class NetworkByteLink final : public ByteLink {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 5000;
    // A server in raw mode never answers telnet; it would pass our negotiation to the sensor.
    static constexpr int kNegotiationTimeoutMs = 3000;
    static constexpr qint64 kInputBufferBytes = 64 * 1024;

    explicit NetworkByteLink(QObject* parent = nullptr);
    ~NetworkByteLink() override;

    bool open(const QString& portName, const QString& settings) override;
    void close() override;
    bool isOpen() const override;
    QString portName() const override;

    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    // RFC 2217 only: a raw server has no control line we can reach.
    bool setRts(bool on) override;
    void clearInput() override;
    QString errorText() const override;

    // Connected, and with RFC 2217 the server has taken COM-port control: bytes now go out.
    bool isReady() const { return m_state == State::Ready; }
    const ComPortSession& session() const { return m_session; }

signals:
    // The server was reached and the link is ready; for watchers that show the line's state.
    void ready();

private:
    enum class State { Closed, Connecting, Negotiating, Ready };
    // Bytes handed to the socket: how many go over the wire, and how many of them are the line's.
    struct Segment {
        qint64 wire;
        qint64 raw;
    };

    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onSocketBytesWritten(qint64 bytes);
    void pump();
    void queuePump();
    void becomeReady();
    void flushHeld();
    void writeWire(const QByteArray& wire, qint64 raw);
    void fail(const QString& text);
    void dropLine(quint64 generation);
    bool isTelnet() const { return m_address.kind == NetworkKind::Rfc2217; }

    QTcpSocket m_socket;
    QTimer m_connectTimer;
    QTimer m_negotiationTimer;
    State m_state = State::Closed;
    NetworkAddress m_address;
    SerialSettings m_settings;
    ComPortSession m_session;
    QString m_portName;
    QString m_errorText;
    QByteArray m_input;
    QByteArray m_held;
    std::deque<Segment> m_inFlight;
    qint64 m_wireDone = 0; // of the first segment in flight
    // Bumped on every open and close, so a queued drop never closes a connection made after the loss.
    quint64 m_generation = 0;
    bool m_dropQueued = false;
    bool m_pumpQueued = false;
};

} // namespace velto::serial
