#include "regtest/range_check.h"

namespace velto::regtest {

const RangeRule& lengthRule()
{
    static const RangeRule rule { kMinLength, kMaxLength, kDefaultLength,
        QStringLiteral("Wrong value. Enter a valid lenght value, between 1 to 50 (default value 10)") };
    return rule;
}

const RangeRule& startAddressRule()
{
    static const RangeRule rule { kMinStartAddress, kMaxStartAddress, kDefaultStartAddress,
        QStringLiteral("Wrong value. Enter a valid address value, between 1 to 9999 (default value 1)") };
    return rule;
}

const RangeRule& deviceAddressRule()
{
    static const RangeRule rule { kMinDeviceAddress, kMaxDeviceAddress, kDefaultDeviceAddress,
        QStringLiteral(
            "Wrong value. Enter a valid device address value, between 1 to 255 (default value 1)") };
    return rule;
}

RangeRule deviceIdRule(int device)
{
    return { kMinDeviceAddress, kMaxDeviceAddress, kDefaultDeviceAddress,
        QStringLiteral("Wrong value. Enter a valid ID%1 value, between 1 to 255 (default value 1)")
            .arg(device) };
}

int holdingRegisterLabel(int start, int index)
{
    return kHoldingRegisterBase + start + index;
}

} // namespace velto::regtest
