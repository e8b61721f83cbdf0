#include "sim/sensor_simulator.h"

namespace velto::sim {

namespace {
// A varied bus, so every unit, mode and display path of the program has something to show.
std::array<SensorSetup, SensorSimulator::kBusSize> busSetups()
{
    SensorSetup levelMetres;
    levelMetres.address = 1;
    levelMetres.unit = MeasurementUnit::Meter;
    levelMetres.mode = IndicationMode::Level;
    levelMetres.tankHeightMm = 6000;
    levelMetres.twentyMaMm = 6000;
    levelMetres.sbdMm = 350;
    levelMetres.interferenceMm = { 1200, 0, 0, 0, 0, 0, 0, 0 };
    levelMetres.levelPeriodS = 240.0;
    levelMetres.phase = 0.1;

    SensorSetup distanceFeet;
    distanceFeet.address = 2;
    distanceFeet.unit = MeasurementUnit::Feet;
    distanceFeet.mode = IndicationMode::Distance;
    distanceFeet.tankHeightMm = 12192; // 40 ft
    distanceFeet.twentyMaMm = 12192;
    distanceFeet.sbdMm = 610;
    distanceFeet.levelPeriodS = 300.0;
    distanceFeet.phase = 0.35;
    distanceFeet.meanTemperatureC = 17.0;
    distanceFeet.mainVersion = 214;

    SensorSetup flowChannel;
    flowChannel.address = 3;
    flowChannel.unit = MeasurementUnit::CubicMetresPerHour;
    flowChannel.mode = IndicationMode::Flow;
    flowChannel.tankHeightMm = 1500;
    flowChannel.fourMaQuantity = 0;
    flowChannel.twentyMaQuantity = 5000;
    flowChannel.sbdMm = 200;
    flowChannel.levelPeriodS = 120.0;
    flowChannel.phase = 0.6;
    flowChannel.quantityStartTenths = 18250;
    flowChannel.quantityTenthsPerMinute = 42;
    flowChannel.meanTemperatureC = 12.5;

    SensorSetup volumeTank;
    volumeTank.address = 4;
    volumeTank.unit = MeasurementUnit::Meter;
    volumeTank.mode = IndicationMode::Volume;
    volumeTank.tankHeightMm = 4000;
    volumeTank.fourMaQuantity = 0;
    volumeTank.twentyMaQuantity = 500;
    volumeTank.sbdMm = 250;
    volumeTank.interferenceMm = { 800, 2300, 0, 0, 0, 0, 0, 0 };
    volumeTank.levelPeriodS = 200.0;
    volumeTank.phase = 0.8;
    volumeTank.crossSectionM2 = 12.5;
    volumeTank.hardwareRevision = 4;

    SensorSetup levelInches;
    levelInches.address = 5;
    levelInches.unit = MeasurementUnit::Inch;
    levelInches.mode = IndicationMode::Level;
    levelInches.tankHeightMm = 3048; // 120 in
    levelInches.twentyMaMm = 3048;
    levelInches.sbdMm = 254;
    levelInches.levelPeriodS = 150.0;
    levelInches.phase = 0.2;
    levelInches.commType = kCommRs232;
    levelInches.meanTemperatureC = 28.0;

    return { levelMetres, distanceFeet, flowChannel, volumeTank, levelInches };
}

std::array<SensorSetup, 2> pairSetups()
{
    SensorSetup first;
    first.address = 1;
    first.tankHeightMm = 8000;
    first.levelPeriodS = 260.0;
    first.phase = 0.45;
    SensorSetup second = first;
    second.address = 2;
    second.tankHeightMm = 7500;
    second.levelPeriodS = 190.0;
    second.phase = 0.05;
    second.meanTemperatureC = 24.0;
    return { first, second };
}
} // namespace

SensorSimulator::SensorSimulator(const Clock& clock)
    : m_clock(clock)
{
    const auto bus = busSetups();
    QList<SensorModel*> members;
    for (size_t i = 0; i < bus.size(); ++i) {
        m_bus[i] = std::make_unique<SensorModel>(bus[i]);
        members.append(m_bus[i].get());
    }
    const auto pair = pairSetups();
    for (size_t i = 0; i < pair.size(); ++i)
        m_pair[i] = std::make_unique<SensorModel>(pair[i]);

    m_rtu = std::make_unique<RtuResponder>(members);
    m_ascii.addSingle(kAsciiSingleAddress, m_bus[0].get());
    m_ascii.addPair(kAsciiPairAddress, m_pair[0].get(), m_pair[1].get());
}

QByteArray SensorSimulator::feed(QByteArrayView bytes)
{
    QByteArray replies;
    const qint64 ms = nowMs();
    m_bootloader.heardAt(ms);
    if (m_bootloader.ownsLine()) {
        m_bootloader.feed(bytes);
        return takeBootloaderAnswers();
    }
    for (const auto& frame : m_splitter.feed(bytes)) {
        // From ">B0" on the bootloader frames the line itself.
        if (m_bootloader.ownsLine()) {
            m_bootloader.feed(frame.bytes);
            continue;
        }
        switch (frame.kind) {
        case FrameSplitter::Kind::Rtu:
            replies += m_rtu->respond(frame.bytes, ms);
            break;
        case FrameSplitter::Kind::Ascii:
            replies += m_ascii.respond(frame.bytes, ms);
            break;
        case FrameSplitter::Kind::Calibration:
            m_calibration.receive(frame.bytes);
            break;
        case FrameSplitter::Kind::Radar:
            m_paced += m_radar.respond(frame.bytes, ms);
            break;
        case FrameSplitter::Kind::Bootloader:
            m_bootloader.respond(frame.bytes);
            replies += takeBootloaderAnswers();
            break;
        }
    }
    if (m_bootloader.ownsLine())
        m_bootloader.feed(m_splitter.takePending());
    return replies + takeBootloaderAnswers();
}

QByteArray SensorSimulator::lineIdle()
{
    m_bootloader.lineIdle();
    return takeBootloaderAnswers();
}

void SensorSimulator::lineReopened()
{
    m_bootloader.lineReopened();
    m_splitter.takePending();
}

QByteArray SensorSimulator::takeBootloaderAnswers()
{
    QByteArray now;
    for (ScheduledReply& reply : m_bootloader.takeAnswers()) {
        if (reply.delayMs <= 0 && m_scheduled.isEmpty())
            now += reply.bytes;
        else
            m_scheduled.append(std::move(reply));
    }
    return now;
}

QList<RadarReply> SensorSimulator::takePacedReplies()
{
    QList<RadarReply> out;
    out.swap(m_paced);
    return out;
}

SensorModel* SensorSimulator::sensor(int modbusAddress) const
{
    return m_rtu->sensor(modbusAddress);
}

SensorModel& SensorSimulator::pairSensor(int index) const
{
    return *m_pair[index == 0 ? 0 : 1];
}

bool SensorSimulator::setInMenu(int modbusAddress, bool on)
{
    SensorModel* s = sensor(modbusAddress);
    if (!s)
        return false;
    s->setInMenu(on);
    return true;
}

} // namespace velto::sim
