// The lines of a HEX file as the flash burn sends them, from any file content. No line holds a line
// end or is blank, and together they hold no more than the file. The check of the whole file names
// a line of the file when it refuses it. A line read as a record's bytes yields one byte a digit pair.
#include "flash/hex_file.h"
#include "flash/hex_record.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const QByteArrayView content = input.rest();
    qsizetype total = 0;
    for (const QByteArray& line : velto::flash::splitHexLines(content)) {
        if (line.isEmpty() || line.contains('\n') || line.contains('\r') || line.trimmed().isEmpty())
            std::abort();
        total += line.size();
        if (const auto bytes = velto::flash::hexRecordBytes(line);
            bytes && bytes->size() != (line.size() - velto::flash::kHexCountAt) / 2)
            std::abort();
    }
    if (total > content.size())
        std::abort();
    const QString fault = velto::flash::checkHexRecords(content);
    if (!fault.isEmpty() && !fault.startsWith(QLatin1String("line ")))
        std::abort();
    return 0;
}
