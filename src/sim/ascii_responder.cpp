#include "sim/ascii_responder.h"

#include "sim/velto_ascii.h"

#include <algorithm>
#include <cmath>

namespace velto::sim {

namespace {
constexpr int kMaxTemperatureC = 255;
constexpr double kCentiPerDegree = 100.0;
constexpr int kSecondSensorDigit = 1;

qint32 quantityFor(const SensorModel& sensor, int command, qint64 ms)
{
    const SensorReading r = sensor.readingAt(ms);
    switch (command) {
    case velto_cmd::kDistance:
        return r.distanceMm;
    case velto_cmd::kTankHeight:
        return sensor.tankHeightMm();
    case velto_cmd::kLevel:
        return r.levelMm;
    case velto_cmd::kTemperature:
        // The field is a byte of whole degrees: frost reads as 0.
        return std::clamp(qint32(std::lround(r.temperatureCenti / kCentiPerDegree)), 0, kMaxTemperatureC);
    default:
        return 0;
    }
}
} // namespace

void AsciiResponder::addSingle(int address, const SensorModel* sensor)
{
    m_units.append({ address, sensor, nullptr });
}

void AsciiResponder::addPair(int address, const SensorModel* first, const SensorModel* second)
{
    m_units.append({ address, first, second });
}

QByteArray AsciiResponder::respond(QByteArrayView frame, qint64 ms) const
{
    const auto request = parseVeltoRequest(frame);
    if (!request || !isKnownVeltoCommand(request->command))
        return {};
    const auto unit = std::find_if(
        m_units.begin(), m_units.end(), [&](const Unit& u) { return u.address == request->address; });
    if (unit == m_units.end())
        return {};

    // A single sensor answers for either digit as sensor 1, so a master alternating digits still
    // gets every quantity each time.
    const bool pair = unit->second != nullptr;
    const bool second = pair && request->sensorDigit == kSecondSensorDigit;
    const SensorModel& sensor = second ? *unit->second : *unit->first;

    VeltoReply reply;
    reply.address = unit->address;
    reply.sensorIndex = second ? 1 : 0;
    reply.command = request->command;
    reply.value = quantityFor(sensor, request->command, ms);
    reply.status = int(sensor.readingAt(ms).echo);
    reply.twoSensorUnit = pair;
    return buildVeltoReply(reply);
}

} // namespace velto::sim
