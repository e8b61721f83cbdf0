// What an operator types into the calibration window's value boxes: any text, including invalid
// UTF-8, exponents, signs and huge numbers. A code that comes back lies in its slider's range.
#include "calibration/current_output.h"
#include "calibration/transceiver_parameter.h"

#include <QString>

#include <cstdlib>

using namespace velto::calibration;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const TransceiverRow& row : transceiverRows()) {
        if (const auto code = transceiverCodeFromText(row.parameter, text);
            code && !isInRange(row.parameter, *code))
            std::abort();
    }
    if (const auto code = currentCodeFromText(text);
        code && (*code < kMinCurrentCode || *code > kMaxCurrentCode))
        std::abort();
    return 0;
}
