#include "support/ser2net_rig.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTimer>

namespace velto::test {

namespace {

QString ser2netProgram()
{
    // Debian installs it in sbin, which is not on every user's PATH.
    QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin") });
    return found;
}

} // namespace

Ser2netRig::~Ser2netRig()
{
    kill();
}

QString Ser2netRig::unavailableReason()
{
    if (!ser2netProgram().isEmpty())
        return {};
    return QStringLiteral(
        "ser2net is not installed (Debian package ser2net; scripts/setup-deps installs it)");
}

QString Ser2netRig::configuration(const QString& devicePath, Mode mode, quint16 port)
{
    const QString accepter
        = mode == Mode::Rfc2217 ? QStringLiteral("telnet(rfc2217),tcp") : QStringLiteral("tcp");
    return QStringLiteral("connection: &sensor\n"
                          "  accepter: %1,127.0.0.1,%2\n"
                          "  connector: serialdev,%3,9600n81,local\n"
                          "  options:\n"
                          "    kickolduser: true\n"
                          "    chardelay: false\n")
        .arg(accepter)
        .arg(port)
        .arg(devicePath);
}

bool Ser2netRig::start(const QString& devicePath, Mode mode)
{
    const QString program = ser2netProgram();
    if (program.isEmpty() || !m_dir.isValid()) {
        m_errorText = program.isEmpty() ? unavailableReason() : QStringLiteral("no temporary folder");
        return false;
    }
    m_mode = mode;
    m_port = freeLoopbackPort();
    const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(configuration(devicePath, mode, m_port).toUtf8()) < 0) {
        m_errorText = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    file.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    // -n: foreground; -u: no UUCP lock files; -P: a pid file of its own instead of the system's.
    m_process.start(program,
        { QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
            m_dir.filePath(QStringLiteral("pid")), QStringLiteral("-c"), config });
    if (!m_process.waitForStarted(5000)) {
        m_errorText = QStringLiteral("ser2net did not start: %1").arg(m_process.errorString());
        return false;
    }
    return true;
}

bool Ser2netRig::listening() const
{
    return m_process.state() == QProcess::Running && isListening(m_port);
}

QString Ser2netRig::address() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_mode == Mode::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(m_port);
}

void Ser2netRig::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool isListening(quint16 port)
{
    // Lines of /proc/net/tcp: "sl local_address rem_address st ...", addresses as HEXIP:HEXPORT,
    // state 0A = LISTEN.
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = QByteArray(":") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1].endsWith(wanted) && fields[3] == "0A")
            return true;
    }
    return false;
}

DelayRelay::DelayRelay(quint16 targetPort, int delayMs, QObject* parent)
    : QObject(parent)
    , m_targetPort(targetPort)
    , m_delayMs(delayMs)
{
    connect(&m_server, &QTcpServer::newConnection, this, &DelayRelay::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

void DelayRelay::onNewConnection()
{
    while (QTcpSocket* client = m_server.nextPendingConnection()) {
        ++m_connections;
        client->setParent(this);
        m_sockets.append(client);
        if (m_targetPort == 0)
            continue; // accepts and never answers
        auto* server = new QTcpSocket(this);
        m_sockets.append(server);
        server->connectToHost(QHostAddress::LocalHost, m_targetPort);
        connect(client, &QTcpSocket::readyRead, this, [this, client, server] { forward(client, server); });
        connect(server, &QTcpSocket::readyRead, this, [this, server, client] { forward(server, client); });
        connect(client, &QTcpSocket::disconnected, server, &QTcpSocket::disconnectFromHost);
        connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
    }
}

void DelayRelay::forward(QTcpSocket* from, QTcpSocket* to)
{
    const QByteArray chunk = from->readAll();
    QPointer<QTcpSocket> target(to);
    QTimer::singleShot(m_delayMs, Qt::PreciseTimer, this, [target, chunk] {
        if (target)
            target->write(chunk);
    });
}

void DelayRelay::cutAll()
{
    for (const QPointer<QTcpSocket>& socket : m_sockets) {
        if (socket)
            socket->abort();
    }
}

} // namespace velto::test
