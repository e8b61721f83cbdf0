#include "support/modbus_outcome.h"

#include <QModbusReply>
#include <QSignalSpy>

namespace velto::test {

ModbusOutcome modbusOutcome(QModbusReply* reply, int waitMs)
{
    ModbusOutcome out;
    if (!reply)
        return out;
    if (!reply->isFinished()) {
        QSignalSpy done(reply, &QModbusReply::finished);
        done.wait(waitMs);
    }
    out.error = reply->isFinished() ? reply->error() : QModbusDevice::TimeoutError;
    if (out.error == QModbusDevice::NoError)
        out.values = reply->result().values();
    // The exception code is the first data byte. QModbusPdu::exceptionCode() is avoided: Qt keeps
    // the function byte sign-extended in its enum, which the undefined-behaviour sanitizer rejects.
    if (out.error == QModbusDevice::ProtocolError && !reply->rawResult().data().isEmpty())
        out.exception = quint8(reply->rawResult().data().front());
    reply->deleteLater();
    return out;
}

} // namespace velto::test
