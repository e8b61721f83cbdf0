#include "serial/tapped_byte_link.h"

#include <QMetaMethod>

namespace velto::serial {

TappedByteLink::TappedByteLink(ByteLink& inner, QObject* parent)
    : ByteLink(parent)
    , m_inner(inner)
{
    // Every signal of the interface passes through as it is, readyRead after the bytes are taken.
    const QMetaObject& meta = ByteLink::staticMetaObject;
    const int readyReadIndex = meta.indexOfSignal("readyRead()");
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal && i != readyReadIndex)
            QMetaObject::connect(&m_inner, i, this, i);
    }
    connect(&m_inner, &ByteLink::readyRead, this, [this] {
        takeIncoming();
        if (!m_incoming.isEmpty())
            emit readyRead();
    });
    connect(&m_inner, &ByteLink::errorOccurred, this,
        [this](const QString& text) { emit lineEvent(text, true); });
    // Also when the port closes itself after the line was lost.
    connect(&m_inner, &ByteLink::closed, this,
        [this] { emit lineEvent(QStringLiteral("Port %1 closed").arg(m_inner.portName()), false); });
}

bool TappedByteLink::open(const QString& portName, const QString& settings)
{
    m_incoming.clear();
    m_echo.reset();
    const bool opened = m_inner.open(portName, settings);
    if (opened)
        emit lineEvent(QStringLiteral("Port %1 opened at %2").arg(portName, settings), false);
    else
        emit lineEvent(m_inner.errorText(), true);
    return opened;
}

void TappedByteLink::close()
{
    m_incoming.clear();
    m_echo.reset();
    m_inner.close();
}

bool TappedByteLink::isOpen() const
{
    return m_inner.isOpen();
}

QString TappedByteLink::portName() const
{
    return m_inner.portName();
}

bool TappedByteLink::write(const QByteArray& bytes)
{
    // What came before the frame is no echo of it.
    if (m_removeEcho && takeIncoming())
        QMetaObject::invokeMethod(this, &ByteLink::readyRead, Qt::QueuedConnection);
    if (!m_inner.write(bytes)) {
        const QString reason
            = m_inner.isOpen() ? m_inner.errorText() : QStringLiteral("the port is not open");
        emit sendFailed(bytes, reason.isEmpty() ? QStringLiteral("the port refused the bytes") : reason);
        return false;
    }
    if (m_removeEcho)
        m_echo.sent(bytes);
    emit sent(bytes);
    return true;
}

QByteArray TappedByteLink::readAll()
{
    takeIncoming();
    return std::exchange(m_incoming, {});
}

qint64 TappedByteLink::bytesAvailable() const
{
    // Bytes that may be our echo are not anyone's until they are told apart.
    return m_incoming.size() + (m_echo.waiting() ? 0 : m_inner.bytesAvailable());
}

qint64 TappedByteLink::bytesToWrite() const
{
    return m_inner.bytesToWrite();
}

bool TappedByteLink::setRts(bool on)
{
    return m_inner.setRts(on);
}

void TappedByteLink::clearInput()
{
    m_incoming.clear();
    m_echo.reset();
    m_inner.clearInput();
}

QString TappedByteLink::errorText() const
{
    return m_inner.errorText();
}

bool TappedByteLink::setRemoveEcho(bool on)
{
    if (on == m_removeEcho)
        return true;
    m_removeEcho = on;
    if (!on) {
        const QByteArray held = m_echo.release();
        if (!held.isEmpty()) {
            pass(held);
            QMetaObject::invokeMethod(this, &ByteLink::readyRead, Qt::QueuedConnection);
        }
    }
    return true;
}

bool TappedByteLink::takeIncoming()
{
    const QByteArray chunk = m_inner.readAll();
    if (chunk.isEmpty())
        return false;
    if (!m_echo.waiting()) {
        pass(chunk);
        return true;
    }
    const EchoSkipper::Split split = m_echo.take(chunk);
    if (!split.echo.isEmpty())
        emit echoSkipped(split.echo);
    pass(split.passed);
    return !split.passed.isEmpty();
}

void TappedByteLink::pass(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    m_incoming += bytes;
    emit received(bytes);
}

} // namespace velto::serial
