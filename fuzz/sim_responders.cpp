// The simulated sensors answering whatever arrives on their line: Modbus RTU, Velto ASCII and radar
// requests, garbage between them, any read sizes, with time moving on between reads.
#include "common/clock.h"
#include "fuzz_input.h"
#include "sim/sensor_simulator.h"

namespace {

class SteppedClock final : public velto::Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addMSecs(ms); }
    qint64 monotonicMs() const override { return ms; }
    qint64 ms = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 chunkSize = input.takeByte();
    const quint8 stepMs = input.takeByte();
    SteppedClock clock;
    velto::sim::SensorSimulator simulator(clock);
    for (QByteArrayView read : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        (void)simulator.feed(read);
        // The line sends the radar's replies at its own pace; here they are simply taken.
        (void)simulator.takePacedReplies();
        clock.ms += stepMs * 100;
    }
    return 0;
}
