// The checks behind the typed boxes of the log panel and the address entries, and the one reading of
// typed numbers under every box and command-line option: any text a user can type or paste,
// including invalid UTF-8, huge numbers and signs.
#include "common/number_text.h"
#include "fuzz_input.h"
#include "logging/log_format.h"
#include "veltoproto/address_entry.h"

#include <QString>

#include <cstdlib>

using namespace velto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)logging::checkRate(text);
    (void)veltoproto::checkOrvixId(text, veltoproto::AddressMode::Velto);
    (void)veltoproto::checkOrvixId(text, veltoproto::AddressMode::Modbus);
    (void)veltoproto::checkOrvix2Id(text);
    // A whole number is a number too.
    if (parseWholeNumber(text) && !parseRealNumber(text))
        std::abort();
    return 0;
}
