#pragma once

#include "modbus/modbus_master.h"
#include "modbus/tcp_modbus_master.h"

namespace velto::modbus {

// The Modbus master of the line the user chose: Modbus TCP for an mbtcp:// address, the serial
// master given for everything else (a serial port, or a serial device server reached by tcp:// or
// rfc2217://). Each openPort() picks the master for the address; callers see one ModbusMaster.
class PortModbusMaster final : public ModbusMaster {
    Q_OBJECT
public:
    // The serial master must outlive this one.
    explicit PortModbusMaster(ModbusMaster& serialMaster, QObject* parent = nullptr);

    bool openPort(const QString& portName, const QString& settings) override;
    void closePort() override;
    bool portOpen() const override { return m_active->portOpen(); }
    // The serial master's line, whichever master is active: Modbus TCP has no byte line of ours.
    serial::ByteLink* line() override { return m_serial.line(); }

    void setRxTimeout(int ms) override;
    void setTxTimeout(int ms) override;
    int rxTimeout() const override { return m_active->rxTimeout(); }
    int txTimeout() const override { return m_active->txTimeout(); }

    bool busy() const override { return m_active->busy(); }

    void readRegisters(int slave, int start, int count, QObject* context, Done done) override;
    void writeRegister(int slave, int reg, quint16 value, QObject* context, Done done) override;
    void writeRegisters(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override;
    void probeIllegalFunction(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override;

    QString lastErrorText() const override { return m_active->lastErrorText(); }
    QString aboutText() const override;

private:
    ModbusMaster& m_serial;
    TcpModbusMaster m_tcp;
    ModbusMaster* m_active;
};

} // namespace velto::modbus
