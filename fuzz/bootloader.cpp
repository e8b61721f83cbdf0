// The simulated bootloader on whatever arrives in a burn: HEX records, commands and garbage, in
// reads of any size, with quiet spells between some of them. Every answer is two bytes, ':' or '<'
// and a code.
#include "fuzz_input.h"
#include "sim/bootloader_responder.h"
#include "sim/intel_hex.h"

#include <cstdlib>

using velto::sim::BootloaderResponder;
using velto::sim::ScheduledReply;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 chunkSize = input.takeByte();
    const quint8 quietMask = input.takeByte();
    BootloaderResponder device;
    device.respond(">B0");
    device.takeAnswers();
    int read = 0;
    for (QByteArrayView bytes : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        (void)velto::sim::checkHexRecord(bytes);
        if (device.ownsLine())
            device.feed(bytes);
        else
            device.respond(bytes);
        if (quietMask & (1u << (read++ % 8)))
            device.lineIdle();
        for (const ScheduledReply& answer : device.takeAnswers()) {
            if (answer.bytes.size() != 2 || (answer.bytes[0] != ':' && answer.bytes[0] != '<'))
                std::abort();
        }
    }
    return 0;
}
