// The flash window's judge of the bootloader's answers, on whatever bytes the line held, for a
// command and for a HEX line. Only an answer of the request's own kind may be accepted, and every
// answer starting with ':' or '<' leaves a transcript mark.
#include "flash/flash_response.h"
#include "fuzz_input.h"

#include <cstdlib>

using velto::flash::FlashRequest;
using velto::flash::FlashResponse;
using velto::flash::judgeFlashResponse;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const QByteArrayView answer = input.rest();
    for (FlashRequest request : { FlashRequest::Command, FlashRequest::Line }) {
        const FlashResponse r = judgeFlashResponse(answer, request);
        if (answer.size() < 2) {
            if (r.kind != FlashResponse::Kind::TooShort || r.accepted)
                std::abort();
            continue;
        }
        const bool lineAnswer = r.kind == FlashResponse::Kind::LineAnswer;
        const bool commandAnswer = r.kind == FlashResponse::Kind::CommandAnswer;
        if (r.accepted && lineAnswer != (request == FlashRequest::Line))
            std::abort();
        if ((lineAnswer || commandAnswer) == r.mark.isEmpty())
            std::abort();
        if (r.pauseFirst && !r.accepted)
            std::abort();
    }
    return 0;
}
