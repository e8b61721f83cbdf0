#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace velto::serial {

// The byte-protocol side of the serial line: the Velto ASCII protocol, radar, flash burning and
// calibration all talk through one of these.
class ByteLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // portName is a device path or system port name; settings as "9600,n,8,1".
    virtual bool open(const QString& portName, const QString& settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString portName() const = 0;

    // Queues the bytes for sending; false when the link is closed.
    virtual bool write(const QByteArray& bytes) = 0;
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    // Bytes written but not yet handed to the system; 0 when the link keeps no queue of its own.
    virtual qint64 bytesToWrite() const { return 0; }
    virtual bool setRts(bool on) = 0;
    virtual void clearInput() = 0;

    // Text of the last failure (open failed, line lost, ...), empty when none.
    virtual QString errorText() const = 0;

    // Remove echo: our own frame coming back first (an RS-485 adapter that hears its own
    // transmitter) is skipped before anyone reads it. Only a link that sees every byte as it comes
    // can do that (TappedByteLink); the others refuse to be switched on and return false.
    virtual bool setRemoveEcho(bool on) { return !on; }
    virtual bool removesEcho() const { return false; }

signals:
    void readyRead();
    // The driver took this many of the queued bytes; they are on their way out of the port now.
    void bytesWritten(qint64 bytes);
    // The line failed (adapter pulled, far end closed, framing errors...). The text is for people.
    void errorOccurred(const QString& text);
    // The same failure by kind, emitted just before errorOccurred, for users that word it their own way.
    void portError(QSerialPort::SerialPortError error);
    void closed();
    // The link gave the line up on its own (adapter pulled, far end closed): it is closed now, after
    // closed(), and stays closed until opened again. Emitted once per loss, with errorText().
    void lineLost(const QString& text);
};

} // namespace velto::serial
