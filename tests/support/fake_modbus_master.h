#pragma once

#include "modbus/answer_check.h"
#include "modbus/modbus_master.h"

#include <QHash>
#include <QQueue>
#include <QTimer>

namespace velto::test {

// Records each request; answers it from a queue of scripted results on the next event-loop turn, or
// holds it until release() when `holdReplies` is set. Without a script a write succeeds and a read
// answers from `registers` (absent registers read 0); so does a scripted success without words.
//
// A scripted result is taken as the slave's answer, so it can be wrong: a short read, words for
// another block, any status. The fake judges it as the real master does (a read that did not bring
// the registers asked for is an invalid answer) and, like the real master, refuses slave 0 unless
// `refusesBroadcast` is cleared.
class FakeModbusMaster final : public modbus::ModbusMaster {
public:
    struct Request {
        enum Kind { Read, WriteOne, WriteMany, Probe } kind;
        int slave;
        int start;
        int count;
        QList<quint16> values;
    };

    QList<Request> requests; // every request that found the master free, refused ones included
    QQueue<modbus::ModbusResult> scripted;
    QHash<int, quint16> registers;
    bool holdReplies = false;
    bool refusesBroadcast = true;
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

    // The line goes away as the real master reports it: a held request fails, the port closes.
    void dropLine(const QString& text = QStringLiteral("Serial line lost: gone"))
    {
        open = false;
        lastError = text;
        if (m_pending) {
            m_pending->result = { modbus::StatusLineLost, {}, text };
            QTimer::singleShot(0, this, [this] { release(); });
        }
        emit lineLost(text);
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

    modbus::ModbusResult answer(const Request& r)
    {
        modbus::ModbusResult result = scripted.isEmpty() ? ok() : scripted.dequeue();
        if (result.ok() && r.kind == Request::Read && result.words.isEmpty()) {
            for (int i = 0; i < r.count; ++i)
                result.words << registers.value(r.start + i, 0);
        }
        return result;
    }

    void submit(Request r, QObject* context, Done done)
    {
        if (m_pending) {
            const modbus::ModbusResult busyResult { modbus::StatusBusy, {}, QStringLiteral("Busy") };
            QTimer::singleShot(0, context, [done, busyResult] { done(busyResult); });
            return;
        }
        requests.append(r);
        std::optional<modbus::ModbusResult> refusal = modbus::refuseSlave(r.slave);
        if (!refusesBroadcast)
            refusal.reset();
        modbus::ModbusResult result = refusal ? *refusal : answer(r);
        if (r.kind == Request::Read)
            result = modbus::checkReadAnswer(result, r.count);
        m_pending = Pending { result, context, std::move(done) };
        if (!holdReplies || refusal)
            QTimer::singleShot(0, this, [this] { release(); });
    }
};

} // namespace velto::test
