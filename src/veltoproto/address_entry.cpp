#include "veltoproto/address_entry.h"

namespace velto::veltoproto {

namespace {
constexpr int kMaxAddress = 255;
constexpr int kVeltoMinAddress = 0;
constexpr int kModbusMinAddress = 1;
constexpr qint16 kVeltoFallback = 0;
constexpr qint16 kModbusFallback = 1;
constexpr qint16 kSecondBoxFallback = 2;

AddressEntry check(QStringView text, int minimum, qint16 fallback, const QString& message)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (!ok || value < minimum || value > kMaxAddress)
        return { fallback, message, QString::number(fallback) };
    return { static_cast<qint16>(value), {}, std::nullopt };
}
} // namespace

AddressEntry checkOrvixId(QStringView text, AddressMode mode)
{
    if (mode == AddressMode::Velto)
        return check(text, kVeltoMinAddress, kVeltoFallback, kVeltoAddressMessage);
    return check(text, kModbusMinAddress, kModbusFallback, kModbusAddressMessage);
}

AddressEntry checkOrvix2Id(QStringView text)
{
    return check(text, kModbusMinAddress, kSecondBoxFallback, kModbusAddressMessage);
}

} // namespace velto::veltoproto
