#pragma once

#include "serial/in_process_wire.h"
#include "sim/device_end.h"

namespace velto::sim {

// The device end on a wire inside the program, for systems without pseudo-terminals: the program
// opens the wire's location through serial::InProcessLink (PortLink picks it by the name).
class InProcessDeviceEnd final : public DeviceEnd {
    Q_OBJECT
public:
    explicit InProcessDeviceEnd(
        const QString& name = QStringLiteral("simulated-line"), QObject* parent = nullptr);

    bool isValid() const override { return true; }
    QString location() const override { return m_wire.location(); }
    QString errorText() const override { return {}; }
    qsizetype write(QByteArrayView bytes) override { return m_wire.write(bytes); }
    int charactersPerSecond() const override { return m_wire.charactersPerSecond(); }
    qsizetype unread() const override { return m_wire.unread(); }

private:
    serial::InProcessWire m_wire;
};

} // namespace velto::sim
