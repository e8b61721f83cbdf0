// The simulated multi-sensor unit behind the shared line's splitter: calibration messages mixed
// with ASCII requests and garbage, in reads of any size. It keeps only what passed its checks.
#include "sim/calibration_unit.h"
#include "fuzz_input.h"
#include "sim/frame_splitter.h"

#include <cstdlib>

using velto::sim::CalibrationUnit;
using velto::sim::FrameSplitter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 chunkSize = input.takeByte();
    FrameSplitter splitter;
    CalibrationUnit unit;
    int calibrationFrames = 0;
    for (QByteArrayView read : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        for (const FrameSplitter::Frame& frame : splitter.feed(read)) {
            if (frame.kind != FrameSplitter::Kind::Calibration)
                continue;
            if (frame.bytes.size() != CalibrationUnit::kMessageSize)
                std::abort();
            ++calibrationFrames;
            const bool wellFormed = CalibrationUnit::parse(frame.bytes).has_value();
            const int acceptedBefore = unit.accepted();
            unit.receive(frame.bytes);
            // A message that fails its checks is never taken.
            if (!wellFormed && unit.accepted() != acceptedBefore)
                std::abort();
        }
    }
    if (unit.accepted() + unit.rejected() != calibrationFrames)
        std::abort();
    return 0;
}
