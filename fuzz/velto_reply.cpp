// The Velto ASCII reply unpacker on whatever a port read returns: any bytes, any length, one read
// after another into the same state, as the poller feeds it.
#include "fuzz_input.h"
#include "veltoproto/reply_unpacker.h"
#include "veltoproto/velto_display.h"

using namespace velto::veltoproto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 chunkSize = input.takeByte();
    const quint8 address = input.takeByte();
    const VeltoCommand asked = kTickOrder[input.takeByte() % kTickOrder.size()];
    VeltoState state;
    const SensorUnits units { LengthUnit::Meter, LengthUnit::Feet };
    for (QByteArrayView read : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        (void)parseVeltoReply(read);
        if (!fitsRequest(read, address, asked))
            continue;
        const UnpackResult result = UnpackRecData(read, state);
        (void)displayForRead(result, state, units);
    }
    return 0;
}
