#pragma once

#include "modbus/modbus_result.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace velto::serial {
class ByteLink;
}

namespace velto::modbus {

// The Modbus RTU master every caller shares (the system's SMRX1). Requests are asynchronous: the
// result arrives through the callback on a later turn of the event loop, never from inside the call
// that made the request nor from inside the Modbus stack, exactly once, unless `context` or the
// master has been destroyed meanwhile; a callback may therefore destroy the master. Only one request
// is in flight at a time; a request made while busy fails with a non-zero status, so callers skip
// their tick instead of queueing.
//
// Success means the answer fits the request (see answer_check.h): a read brought exactly `count`
// registers from the slave asked, a write was echoed for its registers. A request to slave 0 (the
// broadcast address, never answered) is refused without being sent.
class ModbusMaster : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const ModbusResult&)>;

    using QObject::QObject;

    // PortOpen = True with CommPort and Settings; false (and errorText) when the port won't open.
    virtual bool openPort(const QString& portName, const QString& settings) = 0;
    virtual void closePort() = 0;
    virtual bool portOpen() const = 0;
    // The byte link the master talks through, for the traffic monitor and Remove echo; none for a
    // master whose stack owns its connection.
    virtual serial::ByteLink* line() { return nullptr; }

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
    // The master gave the serial line up (adapter pulled, far end closed): the port is closed and
    // stays closed until it is opened again. Emitted once per loss, with the text LastErrorText
    // now reads.
    void lineLost(const QString& text);
};

} // namespace velto::modbus
