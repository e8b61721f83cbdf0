#pragma once

#include <QList>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>

class QTcpSocket;

namespace velto::test {

// A ser2net serial device server in front of a device path (a pseudo-terminal with the simulated
// sensors), on a free loopback port, in raw or RFC 2217 mode, run in the foreground for one test.
class Ser2netRig {
public:
    enum class Mode { Raw, Rfc2217 };

    Ser2netRig() = default;
    ~Ser2netRig();
    Ser2netRig(const Ser2netRig&) = delete;
    Ser2netRig& operator=(const Ser2netRig&) = delete;

    // Empty when ser2net is installed; otherwise why the tests that need it are skipped.
    static QString unavailableReason();
    // The configuration file the rig runs, as the README shows it.
    static QString configuration(const QString& devicePath, Mode mode, quint16 port);

    // Writes the configuration and starts ser2net; listening() turns true once it accepts.
    bool start(const QString& devicePath, Mode mode);
    bool listening() const;
    quint16 port() const { return m_port; }
    // "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT".
    QString address() const;
    QString errorText() const { return m_errorText; }
    // Kills the server: the connections it holds are cut.
    void kill();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    Mode m_mode = Mode::Raw;
    quint16 m_port = 0;
    QString m_errorText;
};

// A port on 127.0.0.1 that no one listens on now.
quint16 freeLoopbackPort();
// True when something listens on 127.0.0.1:port (read from the system's socket table, so nothing
// connects to find out).
bool isListening(quint16 port);

// A TCP relay on a free loopback port in front of a server, forwarding each chunk either way after a
// delay: a slow server. Without a target it accepts and never answers.
class DelayRelay : public QObject {
public:
    explicit DelayRelay(quint16 targetPort, int delayMs, QObject* parent = nullptr);
    quint16 port() const { return m_server.serverPort(); }
    int connections() const { return m_connections; }
    // Closes every connection made through the relay.
    void cutAll();

private:
    void onNewConnection();
    void forward(QTcpSocket* from, QTcpSocket* to);

    QTcpServer m_server;
    quint16 m_targetPort;
    int m_delayMs;
    int m_connections = 0;
    QList<QPointer<QTcpSocket>> m_sockets;
};

} // namespace velto::test
