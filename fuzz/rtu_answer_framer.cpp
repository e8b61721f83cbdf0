// The RTU master's answer framer and judge on whatever follows a request, in reads of any size: the
// bytes received are framed against the request's function as they grow, and every whole frame is
// judged against the request. A whole frame never runs past what was received, is never shorter
// than an exception answer, and a good read brings exactly the registers asked for.
//
// Input: a steering byte (bits 0-1 the request: read, write one, write many, probe; bits 2-7 the
// register count of a read, plus one), a chunk size byte, then the bytes received.
#include "fuzz_input.h"
#include "modbus/rtu_answer.h"

#include <cstdlib>

using namespace velto::modbus;

namespace {

constexpr qsizetype kShortestAnswer = 5; // slave, function, exception code, CRC

RtuRequest requestFor(quint8 steer)
{
    const int count = (steer >> 2) + 1;
    switch (steer & 0x03) {
    case 0:
        return RtuRequest::read(1, 51, count);
    case 1:
        return RtuRequest::writeOne(1, 51, 6000);
    case 2:
        return RtuRequest::writeMany(1, 52, { 0x1170, 0x0001 });
    default:
        return RtuRequest::probe(1, 51, { 1, 1, 1, 0, 0 });
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const RtuRequest request = requestFor(input.takeByte());
    const quint8 chunkSize = input.takeByte();
    QByteArray received;
    for (const QByteArrayView chunk : velto::fuzz::FuzzInput::chunks(input.rest(), chunkSize)) {
        received.append(chunk.data(), chunk.size());
        const AnswerFrame frame = frameRtuAnswer(received, request.function);
        if (frame.state != AnswerFrame::State::Whole) {
            if (frame.length != 0)
                std::abort();
            continue;
        }
        if (frame.length < kShortestAnswer || frame.length > received.size())
            std::abort();
        const AnswerVerdict verdict = judgeRtuAnswer(QByteArrayView(received).first(frame.length), request);
        if (!verdict.ours) {
            if (verdict.notOursReason.isEmpty())
                std::abort();
        } else if (verdict.result.ok()) {
            if (request.kind == RtuRequest::Kind::Read && verdict.result.words.size() != request.count)
                std::abort();
            if (request.kind != RtuRequest::Kind::Read && !verdict.result.words.isEmpty())
                std::abort();
        } else if (verdict.result.errorText.isEmpty() || !verdict.result.words.isEmpty()) {
            std::abort();
        }
        // The master takes the first whole frame; what follows is judged apart.
        received.remove(0, frame.length);
    }
    return 0;
}
