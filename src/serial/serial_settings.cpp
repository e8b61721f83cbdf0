#include "serial/serial_settings.h"

#include <QStringList>

#include <algorithm>

namespace velto::serial {

std::optional<SerialSettings> SerialSettings::parse(const QString& text)
{
    const QStringList parts = text.trimmed().split(',');
    if (parts.size() != 4)
        return std::nullopt;
    SerialSettings s;
    bool ok = false;
    s.baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baudRate <= 0)
        return std::nullopt;
    const QString parity = parts[1].trimmed().toLower();
    if (parity == "n")
        s.parity = QSerialPort::NoParity;
    else if (parity == "e")
        s.parity = QSerialPort::EvenParity;
    else if (parity == "o")
        s.parity = QSerialPort::OddParity;
    else if (parity == "m")
        s.parity = QSerialPort::MarkParity;
    else if (parity == "s")
        s.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return std::nullopt;
    s.dataBits = static_cast<QSerialPort::DataBits>(bits);
    const QString stop = parts[3].trimmed();
    if (stop == "1")
        s.stopBits = QSerialPort::OneStop;
    else if (stop == "1.5")
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == "2")
        s.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return s;
}

QString SerialSettings::toString() const
{
    QChar parityLetter = 'n';
    switch (parity) {
    case QSerialPort::EvenParity:
        parityLetter = 'e';
        break;
    case QSerialPort::OddParity:
        parityLetter = 'o';
        break;
    case QSerialPort::MarkParity:
        parityLetter = 'm';
        break;
    case QSerialPort::SpaceParity:
        parityLetter = 's';
        break;
    default:
        break;
    }
    const QString stop = stopBits == QSerialPort::TwoStop ? "2"
        : stopBits == QSerialPort::OneAndHalfStop         ? "1.5"
                                                          : "1";
    return QString("%1,%2,%3,%4").arg(baudRate).arg(parityLetter).arg(int(dataBits)).arg(stop);
}

void SerialSettings::applyTo(QSerialPort& port) const
{
    port.setBaudRate(baudRate);
    port.setParity(parity);
    port.setDataBits(dataBits);
    port.setStopBits(stopBits);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

int SerialSettings::charactersPerSecond() const
{
    // In half bits, for one and a half stop bits.
    const int stopHalves = stopBits == QSerialPort::TwoStop ? 4
        : stopBits == QSerialPort::OneAndHalfStop           ? 3
                                                            : 2;
    const int halves = 2 * (1 + int(dataBits) + (parity == QSerialPort::NoParity ? 0 : 1)) + stopHalves;
    return std::max(int(qint64(baudRate) * 2 / halves), 1);
}

} // namespace velto::serial
