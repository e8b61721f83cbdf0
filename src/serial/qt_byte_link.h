#pragma once

#include "serial/byte_link.h"

#include <QSerialPort>

namespace velto::serial {

// ByteLink over a real serial port. Everything is asynchronous: writes are queued in QSerialPort's
// buffer and leave on the event loop, incoming bytes are announced by readyRead().
//
// When the line goes away (adapter pulled, far end of a pseudo-terminal closed) the port is closed
// on the next event-loop turn, errorOccurred(text), closed() and lineLost(text) are emitted, and the
// link stays closed until open() is called again. Failures of open(), setRts() and clearInput() are reported
// by their return value and errorText() only, not by errorOccurred().
class QtByteLink final : public ByteLink {
    Q_OBJECT
public:
    explicit QtByteLink(QObject* parent = nullptr);
    ~QtByteLink() override;

    bool open(const QString& portName, const QString& settings) override;
    void close() override;
    bool isOpen() const override;
    QString portName() const override;

    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool setRts(bool on) override;
    void clearInput() override;
    QString errorText() const override;

    // What the link holds of unread input at most. Beyond it reading pauses until the owner reads, so
    // a unit that talks to a window that never reads (or floods the line) costs no memory; the
    // driver or the far end holds back or drops the rest, as a full input buffer does. Far above
    // the largest reply read in one go.
    static constexpr qint64 kInputBufferBytes = 64 * 1024;

    // People-readable text for a serial port error, e.g. for status boxes.
    static QString textFor(QSerialPort::SerialPortError error);
    // True for the errors after which the port is useless (device removed, line closed).
    static bool isLineLost(QSerialPort::SerialPortError error);

private:
    void onPortError(QSerialPort::SerialPortError error);
    void dropLine(quint64 generation);
    QString describe(QSerialPort::SerialPortError error) const;

    QSerialPort m_port;
    QString m_portName;
    QString m_errorText;
    // Set while a call reports failure by its return value, so errorOccurred() is not emitted too.
    bool m_quiet = false;
    // Bumped on every open and close, so a queued drop never closes a port opened after the loss.
    quint64 m_generation = 0;
    bool m_dropQueued = false;
};

} // namespace velto::serial
