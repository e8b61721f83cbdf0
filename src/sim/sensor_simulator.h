#pragma once

#include "common/clock.h"
#include "sim/ascii_responder.h"
#include "sim/bootloader_responder.h"
#include "sim/calibration_unit.h"
#include "sim/frame_splitter.h"
#include "sim/radar_responder.h"
#include "sim/rtu_responder.h"
#include "sim/sensor_model.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <memory>
#include <utility>

namespace velto::sim {

// Everything on the far end of the simulated line, without the line: five Orvix sensors on a
// Modbus bus (addresses 1..5), and on the same wire a single sensor and a two-sensor unit speaking
// the Velto ASCII protocol, a multi-sensor unit taking calibration messages, and a radar sensor. The
// single ASCII sensor is Modbus sensor 1 seen through the other protocol, so both report the same
// readings. A flash bootloader answers its commands and HEX records.
class SensorSimulator {
public:
    static constexpr int kBusSize = 5;
    static constexpr int kFirstBusAddress = 1;
    static constexpr int kAsciiSingleAddress = 10;
    static constexpr int kAsciiPairAddress = 20;

    // The clock must outlive the simulator.
    explicit SensorSimulator(const Clock& clock = SystemClock::instance());

    // Takes bytes from the line; returns the replies to every request they complete. The radar's
    // replies are long: they wait in takePacedReplies() for the line to send them at its own pace.
    QByteArray feed(QByteArrayView bytes);
    QList<RadarReply> takePacedReplies();
    RadarResponder& radar() { return m_radar; }

    // nullptr when no sensor has that Modbus address.
    SensorModel* sensor(int modbusAddress) const;
    // The sensors of the ASCII two-sensor unit (index 0 or 1).
    SensorModel& pairSensor(int index) const;
    // False when no sensor has that address.
    bool setInMenu(int modbusAddress, bool on);
    CalibrationUnit& calibrationUnit() { return m_calibration; }

    BootloaderResponder& bootloader() { return m_bootloader; }
    // Replies that go out later than at once (late or split answers), taken by the line.
    QList<ScheduledReply> takeScheduled() { return std::exchange(m_scheduled, {}); }
    // An unfinished frame waits for the line to go quiet; lineIdle() then answers it.
    bool awaitsLineIdle() const { return m_bootloader.hasPartialFrame(); }
    QByteArray lineIdle();
    // The program opened the port anew: what it sends now starts afresh.
    void lineReopened();

    qint64 nowMs() const { return m_clock.monotonicMs(); }
    qsizetype pendingBytes() const { return m_splitter.pending(); }

private:
    const Clock& m_clock;
    std::array<std::unique_ptr<SensorModel>, kBusSize> m_bus;
    std::array<std::unique_ptr<SensorModel>, 2> m_pair;
    FrameSplitter m_splitter;
    std::unique_ptr<RtuResponder> m_rtu;
    AsciiResponder m_ascii;
    CalibrationUnit m_calibration;
    RadarResponder m_radar;
    QList<RadarReply> m_paced;
    BootloaderResponder m_bootloader;
    QList<ScheduledReply> m_scheduled;

    QByteArray takeBootloaderAnswers();
};

} // namespace velto::sim
