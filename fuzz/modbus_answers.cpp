// The judging of Modbus answers against their requests: a write's echo as it came off the line, of
// any length, and read answers of any word count.
#include "fuzz_input.h"
#include "modbus/answer_check.h"

#include <cstdlib>

using namespace velto::modbus;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 steer = input.takeByte();
    const bool single = steer & 0x80;
    const qsizetype requestBytes = steer & 0x0f;
    const QByteArrayView payload = input.rest();
    const QByteArrayView request = payload.first(qMin(requestBytes, payload.size()));
    const QByteArrayView answer = payload.sliced(request.size());

    const auto mismatch = writeEchoMismatch(single, request, answer);
    // An echo that repeats the request's first two words always fits; one that does not never does.
    const bool repeats = request.size() >= 4 && answer.size() == 4 && answer == request.first(4);
    if (repeats == mismatch.has_value())
        std::abort();

    const int count = int(steer & 0x7f);
    ModbusResult read { StatusOk, {}, {} };
    for (qsizetype i = 0; i + 1 < answer.size(); i += 2)
        read.words.append(quint16(quint8(answer[i]) << 8 | quint8(answer[i + 1])));
    const ModbusResult judged = checkReadAnswer(read, count);
    if (judged.ok() != (read.words.size() == count) || (!judged.ok() && !judged.words.isEmpty()))
        std::abort();
    (void)refuseSlave(int(steer) - 1);
    return 0;
}
