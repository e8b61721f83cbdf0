#pragma once

#include "sim/sensor_model.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace velto::sim {

// Sensor units that answer the Velto ASCII protocol: single sensors and two-sensor units, each at
// its own ASCII address. Silent for bad frames and other addresses.
class AsciiResponder {
public:
    // The sensors stay owned by the caller and may also sit on the Modbus bus.
    void addSingle(int address, const SensorModel* sensor);
    void addPair(int address, const SensorModel* first, const SensorModel* second);

    QByteArray respond(QByteArrayView frame, qint64 ms) const;

private:
    struct Unit {
        int address;
        const SensorModel* first;
        const SensorModel* second; // null for a single sensor
    };
    QList<Unit> m_units;
};

} // namespace velto::sim
