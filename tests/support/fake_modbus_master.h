#pragma once

#include "modbus/modbus_master.h"

#include <QQueue>
#include <QTimer>

namespace velto::test {

// Records each request; answers it from a queue of scripted results (default: success with zeros)
// on the next event-loop turn, or holds it until release() when `holdReplies` is set.
class FakeModbusMaster final : public modbus::ModbusMaster {
public:
    struct Request {
        enum Kind { Read, WriteOne, WriteMany, Probe } kind;
        int slave;
        int start;
        int count;
        QList<quint16> values;
    };

    QList<Request> requests;
    QQueue<modbus::ModbusResult> scripted;
    bool holdReplies = false;
    bool open = false;
    int rx = 1000;
    int tx = 300;
    QString lastError;

    using ModbusMaster::ModbusMaster;

    bool openPort(const QString&, const QString&) override { return open = true; }
    void closePort() override { open = false; }
    bool portOpen() const override { return open; }
    void setRxTimeout(int ms) override { rx = ms; }
    void setTxTimeout(int ms) override { tx = ms; }
    int rxTimeout() const override { return rx; }
    int txTimeout() const override { return tx; }
    bool busy() const override { return m_pending.has_value(); }

    void readRegisters(int slave, int start, int count, QObject* context, Done done) override
    {
        submit({ Request::Read, slave, start, count, {} }, context, std::move(done));
    }
    void writeRegister(int slave, int reg, quint16 value, QObject* context, Done done) override
    {
        submit({ Request::WriteOne, slave, reg, 1, { value } }, context, std::move(done));
    }
    void writeRegisters(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override
    {
        submit({ Request::WriteMany, slave, start, int(values.size()), values }, context, std::move(done));
    }
    void probeIllegalFunction(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override
    {
        submit({ Request::Probe, slave, start, int(values.size()), values }, context, std::move(done));
    }
    QString lastErrorText() const override { return lastError; }
    QString aboutText() const override { return QStringLiteral("fake Modbus master"); }

    // Finishes the held request, if any.
    void release()
    {
        if (!m_pending)
            return;
        Pending p = std::move(*m_pending);
        m_pending.reset();
        lastError = p.result.errorText;
        if (p.context)
            p.done(p.result);
        emit requestFinished(p.result);
    }

    static modbus::ModbusResult ok(QList<quint16> words = {})
    {
        return { modbus::StatusOk, words, QStringLiteral("No error") };
    }
    static modbus::ModbusResult timeout()
    {
        return { modbus::StatusTimeout, {}, QStringLiteral("Response timeout.") };
    }
    static modbus::ModbusResult failure(int status, QString text) { return { status, {}, text }; }

private:
    struct Pending {
        modbus::ModbusResult result;
        QPointer<QObject> context;
        Done done;
    };
    std::optional<Pending> m_pending;

    void submit(Request r, QObject* context, Done done)
    {
        if (m_pending) {
            modbus::ModbusResult busyResult { 13, {}, QStringLiteral("Busy") };
            QTimer::singleShot(0, context, [done, busyResult] { done(busyResult); });
            return;
        }
        requests.append(r);
        modbus::ModbusResult result = scripted.isEmpty() ? ok() : scripted.dequeue();
        if (result.ok() && r.kind == Request::Read && result.words.isEmpty())
            result.words = QList<quint16>(r.count, 0);
        m_pending = Pending { result, context, std::move(done) };
        if (!holdReplies)
            QTimer::singleShot(0, this, [this] { release(); });
    }
};

} // namespace velto::test
