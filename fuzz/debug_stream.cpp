// The debug terminal's line stamper on a sensor's debug text, in reads of any size, with capture
// switched on and off between reads and the clock moving. The screen never holds more than its
// bound, every line feed is one line, and the capture holds exactly the bytes that are neither CR
// nor LF plus one stamped line end per CR.
#include "debugterm/line_stamper.h"
#include "fuzz_input.h"

#include <cstdlib>

using velto::debugterm::LineStamper;
using velto::debugterm::StampedChunk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 chunkSize = input.takeByte();
    const quint8 steering = input.takeByte();
    LineStamper stamper;
    stamper.setKeepLines(steering & 1);
    qsizetype onScreen = 0;
    qint64 ms = 0;
    int read = 0;
    for (QByteArrayView bytes : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        const bool capturing = ((steering >> 1) + read++) % 3 != 0;
        ms += bytes.size() * 7; // a moving clock, so stamps of many widths appear
        const StampedChunk out = stamper.feed(bytes, ms, capturing);
        onScreen = out.screenCleared ? out.screenText.size() : onScreen + out.screenText.size();
        if (onScreen > LineStamper::kMaxScreenChars)
            std::abort();
        if (out.lines != bytes.count('\n'))
            std::abort();
        for (const QString& line : out.finishedLines) {
            if (line.size() > LineStamper::kMaxScreenChars + 32)
                std::abort();
        }
        const qsizetype crs = bytes.count('\r');
        const qsizetype plain = bytes.size() - crs - bytes.count('\n');
        if (!capturing && !out.capture.isEmpty())
            std::abort();
        // Each CR: a tab, at least ".00", CR LF.
        if (capturing
            && (out.capture.count('\r') != crs || out.capture.count('\n') != crs
                || out.capture.size() < plain + 6 * crs))
            std::abort();
    }
    return 0;
}
