#include "modbus/answer_check.h"

#include "modbus/slave_address.h"

namespace velto::modbus {

namespace {

constexpr qsizetype kEchoBytes = 4; // two big-endian words

quint16 wordAt(QByteArrayView bytes, qsizetype at)
{
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}

} // namespace

std::optional<ModbusResult> refuseSlave(int slave)
{
    if (isSlaveAddress(slave))
        return std::nullopt;
    const QString why = slave == kBroadcastAddress
        ? QStringLiteral("slave address 0 is the broadcast address, which no slave answers")
        : QStringLiteral("slave address %1 is outside %2 to %3")
              .arg(slave)
              .arg(kMinSlaveAddress)
              .arg(kMaxSlaveAddress);
    return ModbusResult { StatusBadAddress, {}, QStringLiteral("Request not sent: %1").arg(why) };
}

std::optional<ModbusResult> refuseRegisters(int start, int count, int maxCount)
{
    constexpr int kLastRegister = 65535;
    QString why;
    if (count < 1 || count > maxCount)
        why = QStringLiteral("%1 registers, where one request carries 1 to %2").arg(count).arg(maxCount);
    else if (start < 0 || start + count - 1 > kLastRegister)
        why = QStringLiteral("registers %1 to %2 are not all inside 0 to %3")
                  .arg(start)
                  .arg(start + count - 1)
                  .arg(kLastRegister);
    if (why.isEmpty())
        return std::nullopt;
    return ModbusResult { StatusStackError, {}, QStringLiteral("Request not sent: %1").arg(why) };
}

ModbusResult invalidAnswer(const QString& reason)
{
    return { StatusInvalidResponse, {}, QStringLiteral("Invalid response: %1").arg(reason) };
}

ModbusResult checkReadAnswer(ModbusResult result, int count)
{
    if (!result.ok() || result.words.size() == count)
        return result;
    return invalidAnswer(
        QStringLiteral("%1 registers received for %2 requested").arg(result.words.size()).arg(count));
}

std::optional<QString> writeEchoMismatch(
    bool singleRegister, QByteArrayView requestData, QByteArrayView answerData)
{
    if (requestData.size() < kEchoBytes)
        return QStringLiteral("the request carried no register");
    if (answerData.size() != kEchoBytes)
        return QStringLiteral("a write acknowledgement of %1 bytes instead of %2")
            .arg(answerData.size())
            .arg(kEchoBytes);
    const quint16 sentRegister = wordAt(requestData, 0);
    const quint16 echoedRegister = wordAt(answerData, 0);
    if (echoedRegister != sentRegister)
        return QStringLiteral("write acknowledged for register %1 instead of %2")
            .arg(echoedRegister)
            .arg(sentRegister);
    const quint16 sent = wordAt(requestData, 2);
    const quint16 echoed = wordAt(answerData, 2);
    if (echoed != sent) {
        return singleRegister
            ? QStringLiteral("write acknowledged with value %1 instead of %2").arg(echoed).arg(sent)
            : QStringLiteral("write acknowledged for %1 registers instead of %2").arg(echoed).arg(sent);
    }
    return std::nullopt;
}

} // namespace velto::modbus
