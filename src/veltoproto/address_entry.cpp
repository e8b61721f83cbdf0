#include "veltoproto/address_entry.h"

namespace velto::veltoproto {

namespace {
constexpr int kMaxAddress = 255;
constexpr int kVeltoMinAddress = 0;
constexpr int kModbusMinAddress = 1;
constexpr int kVeltoFallback = 0;
constexpr int kModbusFallback = 1;
constexpr int kSecondBoxFallback = 2;

AddressEntry check(QStringView text, const RangeRule& rule)
{
    if (text.trimmed().isEmpty())
        return {};
    if (const std::optional<int> value = rule.accept(text))
        return { static_cast<qint16>(*value), {}, std::nullopt };
    return { static_cast<qint16>(rule.defaultValue), rule.message, rule.defaultText() };
}
} // namespace

const RangeRule& orvixIdRule(AddressMode mode)
{
    static const RangeRule velto { kVeltoMinAddress, kMaxAddress, kVeltoFallback, kVeltoAddressMessage };
    static const RangeRule modbus { kModbusMinAddress, kMaxAddress, kModbusFallback, kModbusAddressMessage };
    return mode == AddressMode::Velto ? velto : modbus;
}

const RangeRule& orvix2IdRule()
{
    static const RangeRule rule { kModbusMinAddress, kMaxAddress, kSecondBoxFallback, kModbusAddressMessage };
    return rule;
}

AddressEntry checkOrvixId(QStringView text, AddressMode mode)
{
    return check(text, orvixIdRule(mode));
}

AddressEntry checkOrvix2Id(QStringView text)
{
    return check(text, orvix2IdRule());
}

} // namespace velto::veltoproto
