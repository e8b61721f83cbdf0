#pragma once

#include "sim/sensor_model.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace velto::sim {

namespace fn {
constexpr quint8 kReadHoldingRegisters = 0x03;
constexpr quint8 kWriteSingleRegister = 0x06;
constexpr quint8 kWriteMultipleRegisters = 0x10;
constexpr quint8 kExceptionFlag = 0x80;
} // namespace fn

constexpr quint8 kBroadcastAddress = 0;

// The slaves of one Modbus RTU bus. Takes whole frames whose CRC has already been checked and gives
// the reply frame, or nothing where a real bus stays silent (other addresses, broadcasts).
class RtuResponder {
public:
    // The sensors stay owned by the caller.
    explicit RtuResponder(QList<SensorModel*> bus);

    QByteArray respond(QByteArrayView frame, qint64 ms);

    SensorModel* sensor(int address) const;

private:
    QByteArray handle(SensorModel& sensor, QByteArrayView frame, qint64 ms);

    QList<SensorModel*> m_bus;
};

} // namespace velto::sim
