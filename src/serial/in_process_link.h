#pragma once

#include "serial/byte_link.h"

#include <QList>
#include <QPointer>
#include <QTimer>

namespace velto::serial {

class InProcessWire;

// The program's end of an InProcessWire, opened by the wire's location. It behaves as a port does:
// writes are queued and reach the device on a later event-loop turn, followed by bytesWritten();
// readyRead() comes on a turn after the device sent; opening and clearInput() drop what waits
// unread. When the wire goes away the link reports it as QtByteLink reports a pulled adapter:
// portError, errorOccurred, closed and lineLost, on the next turn.
class InProcessLink final : public ByteLink {
    Q_OBJECT
public:
    explicit InProcessLink(QObject* parent = nullptr);
    ~InProcessLink() override;

    bool open(const QString& portName, const QString& settings) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString portName() const override { return m_portName; }

    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool setRts(bool on) override;
    void clearInput() override;
    QString errorText() const override { return m_errorText; }

private:
    friend class InProcessWire;
    // From the wire: the device sent something, or the wire is going away.
    void deviceSent();
    void wireGone();

    void deliver();
    void announce();
    void dropLine(quint64 generation);

    // What goes to the device, in order: bytes, or the note that our input was cleared.
    struct Outgoing {
        bool inputCleared = false;
        QByteArray bytes;
    };

    QPointer<InProcessWire> m_wire;
    QList<Outgoing> m_outgoing;
    qint64 m_unsent = 0;
    QTimer m_deliverTimer;
    QTimer m_announceTimer;
    QString m_portName;
    QString m_errorText;
    bool m_open = false;
    // Bumped on every open and close, so a queued loss never closes a port opened after it.
    quint64 m_generation = 0;
};

} // namespace velto::serial
