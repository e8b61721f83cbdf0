// The register decoding behind the Modbus panels, fed arbitrary words: any unit, mode, status,
// relay or flow code, groups of any length, in any order, with the model's state carried over.
#include "modbus/display_model.h"
#include "fuzz_input.h"

using namespace velto::modbus;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    DisplayModel model;
    constexpr quint8 kWordsMask = 0x1f;
    while (!input.atEnd()) {
        const quint8 steer = input.takeByte();
        const auto kind = GroupKind(steer % 3);
        QList<quint16> words;
        const int count = (steer >> 2) & kWordsMask;
        for (int i = 0; i < count && !input.atEnd(); ++i)
            words.append(quint16(input.takeByte() << 8 | input.takeByte()));
        if (steer & 0x80)
            (void)model.notAvailable();
        (void)model.decode(kind, words);
    }
    return 0;
}
