#include "modbus/rtu_answer.h"

#include "modbus/answer_check.h"
#include "modbus/modbus_crc.h"
#include "modbus/modbus_exception.h"

namespace velto::modbus {

namespace {

constexpr qsizetype kHeaderBytes = 2; // slave, function
constexpr qsizetype kCrcBytes = 2;
constexpr qsizetype kExceptionFrame = kHeaderBytes + 1 + kCrcBytes;
constexpr qsizetype kEchoFrame = kHeaderBytes + 4 + kCrcBytes; // a write's answer: two words
constexpr qsizetype kByteCountAt = 2;

AnswerFrame whole(QByteArrayView received, qsizetype length)
{
    if (received.size() < length)
        return { AnswerFrame::State::Incomplete, 0 };
    return { AnswerFrame::State::Whole, length };
}

quint16 wordAt(QByteArrayView bytes, qsizetype at)
{
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}

} // namespace

AnswerFrame frameRtuAnswer(QByteArrayView received, quint8 function)
{
    if (received.size() < kHeaderBytes)
        return { AnswerFrame::State::Incomplete, 0 };
    const auto answered = quint8(received[1]);
    if (answered == (function | rtu::kExceptionBit))
        return whole(received, kExceptionFrame);
    if (answered != function)
        return { AnswerFrame::State::Unframeable, 0 };
    switch (function) {
    case rtu::kReadHoldingRegisters:
        if (received.size() <= kByteCountAt)
            return { AnswerFrame::State::Incomplete, 0 };
        return whole(received, kByteCountAt + 1 + quint8(received[kByteCountAt]) + kCrcBytes);
    case rtu::kWriteSingleRegister:
    case rtu::kWriteMultipleRegisters:
        return whole(received, kEchoFrame);
    default:
        // A function this master only probes: no answer but its exception has a known length.
        return { AnswerFrame::State::Unframeable, 0 };
    }
}

AnswerVerdict judgeRtuAnswer(QByteArrayView frame, const RtuRequest& request)
{
    AnswerVerdict verdict;
    if (frame.size() < kExceptionFrame || !hasValidModbusCrc(frame)) {
        verdict.notOursReason = QStringLiteral("a frame with a bad CRC");
        return verdict;
    }
    if (quint8(frame[0]) != request.slave) {
        verdict.notOursReason = QStringLiteral("an answer from slave %1").arg(quint8(frame[0]));
        return verdict;
    }
    verdict.ours = true;
    const QByteArrayView data = frame.sliced(kHeaderBytes, frame.size() - kHeaderBytes - kCrcBytes);
    if (quint8(frame[1]) & rtu::kExceptionBit) {
        const int code = quint8(data[0]);
        verdict.result = { statusForException(code), {}, exceptionText(code) };
        return verdict;
    }
    ModbusResult ok { StatusOk, {}, QStringLiteral("No error") };
    switch (request.kind) {
    case RtuRequest::Kind::Read: {
        const qsizetype byteCount = data.size() - 1;
        if (byteCount % 2 != 0) {
            verdict.result = invalidAnswer(
                QStringLiteral("%1 data bytes are no whole number of registers").arg(byteCount));
            return verdict;
        }
        for (qsizetype at = 1; at < data.size(); at += 2)
            ok.words.append(wordAt(data, at));
        verdict.result = checkReadAnswer(ok, request.count);
        return verdict;
    }
    case RtuRequest::Kind::WriteOne:
    case RtuRequest::Kind::WriteMany:
        if (const auto mismatch
            = writeEchoMismatch(request.kind == RtuRequest::Kind::WriteOne, request.data, data))
            verdict.result = invalidAnswer(*mismatch);
        else
            verdict.result = ok;
        return verdict;
    case RtuRequest::Kind::Probe:
        break;
    }
    verdict.result = ok;
    return verdict;
}

} // namespace velto::modbus
