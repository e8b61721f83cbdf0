#pragma once

#include "serial/byte_link.h"
#include "serial/in_process_link.h"
#include "serial/network_byte_link.h"
#include "serial/qt_byte_link.h"

namespace velto::serial {

// The line the user chose, whatever it is: a serial port by its device path or name, or a serial
// device server by its address (tcp://host:port, rfc2217://host:port), or a line inside the program
// by its location (inprocess:name). Each open() picks the link for the address; the protocols above
// see one ByteLink.
class PortLink final : public ByteLink {
    Q_OBJECT
public:
    explicit PortLink(QObject* parent = nullptr);

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

private:
    ByteLink& active() const { return *m_active; }

    QtByteLink m_serial;
    NetworkByteLink m_network;
    InProcessLink m_inProcess;
    ByteLink* m_active;
};

} // namespace velto::serial
