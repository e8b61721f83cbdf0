#include "flash/flash_result.h"

#include "flash/flash_response.h"

namespace velto::flash {

bool FlashResult::deviceConfirmed() const
{
    if (!accepted || stopped)
        return false;
    switch (operation) {
    case Operation::Burn:
        return !eraseRequested || commandCode == FlashResponse::kEraseSucceeded;
    case Operation::Erase:
        return commandCode == FlashResponse::kEraseSucceeded;
    case Operation::Test:
        return commandCode == FlashResponse::kTestSucceeded;
    }
    return false;
}

} // namespace velto::flash
