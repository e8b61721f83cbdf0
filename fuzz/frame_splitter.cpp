// The simulated line's frame splitter on a shared line's byte stream, in reads of any size. Every
// frame it returns is whole, and it never holds more than it was given.
#include "sim/frame_splitter.h"
#include "fuzz_input.h"

#include <cstdlib>

using velto::sim::FrameSplitter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 chunkSize = input.takeByte();
    FrameSplitter splitter;
    qsizetype fed = 0;
    for (QByteArrayView read : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        fed += read.size();
        for (const FrameSplitter::Frame& frame : splitter.feed(read)) {
            if (frame.bytes.isEmpty() || frame.bytes.size() > fed)
                std::abort();
        }
        if (splitter.pending() > fed)
            std::abort();
    }
    return 0;
}
