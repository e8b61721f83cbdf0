#pragma once

#include "serial/byte_link.h"
#include "sim/sensor_simulator.h"

#include <QList>
#include <QTimer>

namespace velto::test {

// A byte link whose far end is the simulator, without a pseudo-terminal: what is written is fed to
// the simulated devices and their answers arrive on later turns of the event loop, late and split
// ones after their delays. Opens already open.
class SimulatorLink final : public serial::ByteLink {
public:
    explicit SimulatorLink(QObject* parent = nullptr)
        : ByteLink(parent)
    {
    }

    sim::SensorSimulator simulator;
    QList<QByteArray> written;
    bool opened = true;
    bool failWrites = false;

    bool open(const QString&, const QString&) override { return opened = true; }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    QString portName() const override { return QStringLiteral("simulator"); }
    bool write(const QByteArray& bytes) override
    {
        if (!opened || failWrites)
            return false;
        written.append(bytes);
        deliver(0, simulator.feed(bytes));
        for (const sim::ScheduledReply& reply : simulator.takeScheduled())
            deliver(reply.delayMs, reply.bytes);
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_incoming, {}); }
    qint64 bytesAvailable() const override { return m_incoming.size(); }
    bool setRts(bool) override { return opened; }
    void clearInput() override { m_incoming.clear(); }
    QString errorText() const override
    {
        return opened ? QString() : QStringLiteral("Serial port is not open");
    }

    // Bytes from nowhere, e.g. a stray answer.
    void inject(const QByteArray& bytes) { deliver(0, bytes); }

    // Lets the simulator judge an unfinished frame, as the line does after a quiet spell.
    void lineIdle() { deliver(0, simulator.lineIdle()); }

private:
    void deliver(int delayMs, const QByteArray& bytes)
    {
        if (bytes.isEmpty())
            return;
        QTimer::singleShot(delayMs, this, [this, bytes] {
            m_incoming += bytes;
            emit readyRead();
        });
    }

    QByteArray m_incoming;
};

} // namespace velto::test
