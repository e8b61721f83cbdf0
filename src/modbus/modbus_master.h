#pragma once

#include "modbus/modbus_result.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace velto::modbus {

// The Modbus RTU master every caller shares (the system's SMRX1). Requests are asynchronous: the
// result arrives through the callback, on the event loop, exactly once, unless `context` has been
// destroyed meanwhile. Only one request is in flight at a time; a request made while busy fails at
// once with a non-zero status, so callers skip their tick instead of queueing.
class ModbusMaster : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const ModbusResult&)>;

    using QObject::QObject;

    // PortOpen = True with CommPort and Settings; false (and errorText) when the port won't open.
    virtual bool openPort(const QString& portName, const QString& settings) = 0;
    virtual void closePort() = 0;
    virtual bool portOpen() const = 0;

    virtual void setRxTimeout(int ms) = 0;
    virtual void setTxTimeout(int ms) = 0;
    virtual int rxTimeout() const = 0;
    virtual int txTimeout() const = 0;

    virtual bool busy() const = 0;

    virtual void readRegisters(int slave, int start, int count, QObject* context, Done done) = 0;
    virtual void writeRegister(int slave, int reg, quint16 value, QObject* context, Done done) = 0;
    virtual void writeRegisters(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done)
        = 0;
    // Sends a request whose function the sensors do not implement, to provoke Illegal Function.
    virtual void probeIllegalFunction(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done)
        = 0;

    virtual QString lastErrorText() const = 0;
    // Names the Modbus stack and its version, for the About box.
    virtual QString aboutText() const = 0;

signals:
    // Any request finished; for watchers such as activity marks.
    void requestFinished(const velto::modbus::ModbusResult& result);
};

} // namespace velto::modbus
