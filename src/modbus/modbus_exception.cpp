#include "modbus/modbus_exception.h"

#include "modbus/modbus_result.h"

namespace velto::modbus {

namespace {

// The exception codes of the Modbus application protocol.
enum : int {
    kIllegalFunction = 1,
    kIllegalDataAddress = 2,
    kIllegalDataValue = 3,
    kServerDeviceFailure = 4,
    kAcknowledge = 5,
    kServerDeviceBusy = 6,
    kNegativeAcknowledge = 7,
    kMemoryParityError = 8,
    kGatewayPathUnavailable = 10,
    kGatewayTargetDeviceFailedToRespond = 11,
};

QString exceptionName(int exceptionCode)
{
    switch (exceptionCode) {
    case kIllegalFunction:
        return QStringLiteral("Illegal Function");
    case kIllegalDataAddress:
        return QStringLiteral("Illegal Data Address");
    case kIllegalDataValue:
        return QStringLiteral("Illegal Data Value");
    case kServerDeviceFailure:
        return QStringLiteral("Server Device Failure");
    case kAcknowledge:
        return QStringLiteral("Acknowledge");
    case kServerDeviceBusy:
        return QStringLiteral("Server Device Busy");
    case kNegativeAcknowledge:
        return QStringLiteral("Negative Acknowledge");
    case kMemoryParityError:
        return QStringLiteral("Memory Parity Error");
    case kGatewayPathUnavailable:
        return QStringLiteral("Gateway Path Unavailable");
    case kGatewayTargetDeviceFailedToRespond:
        return QStringLiteral("Gateway Target Device Failed To Respond");
    default:
        return QStringLiteral("Unknown Modbus Exception");
    }
}

} // namespace

QString exceptionText(int exceptionCode)
{
    return QStringLiteral("%1 (exception %2)").arg(exceptionName(exceptionCode)).arg(exceptionCode);
}

int statusForException(int exceptionCode)
{
    return exceptionCode == kServerDeviceBusy ? StatusDeviceBusy : StatusExceptionBase + exceptionCode;
}

} // namespace velto::modbus
