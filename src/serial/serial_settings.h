#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

namespace velto::serial {

// The settings string handed to a port, "9600,n,8,1": baud, parity letter, data bits, stop bits.
struct SerialSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    static std::optional<SerialSettings> parse(const QString& text);
    QString toString() const;
    // Applies baud, parity, data and stop bits; no flow control.
    void applyTo(QSerialPort& port) const;
    // What the line carries per second with a start bit, the data, parity and stop bits (9600,n,8,1: 960).
    int charactersPerSecond() const;
};

} // namespace velto::serial
