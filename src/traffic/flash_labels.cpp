#include "traffic/frame_labels.h"

#include "flash/flash_response.h"
#include "flash/flash_texts.h"
#include "flash/hex_record.h"

namespace velto::traffic {

namespace {

using flash::FlashResponse;

constexpr qsizetype kAnswerSize = 2;
constexpr int kHex = 16;

bool isAnswerStart(char c)
{
    return c == FlashResponse::kLineAnswerStart || c == FlashResponse::kCommandAnswerStart;
}

QString hexRecord(QByteArrayView frame)
{
    const std::optional<quint8> length = flash::hexPairAt(frame, flash::kHexCountAt);
    const std::optional<quint8> high = flash::hexPairAt(frame, flash::kHexAddressAt);
    const std::optional<quint8> low = flash::hexPairAt(frame, flash::kHexAddressAt + 2);
    const std::optional<quint8> type = flash::hexPairAt(frame, flash::kHexTypeAt);
    if (!length || !high || !low || !type)
        return QStringLiteral("HEX line that is not a record");
    if (frame.size() != flash::hexRecordSize(*length))
        return QStringLiteral("HEX record of type %1 whose length is wrong (%2 characters)")
            .arg(*type)
            .arg(frame.size() - 1);
    const std::optional<QByteArray> bytes = flash::hexRecordBytes(frame);
    if (!bytes)
        return QStringLiteral("HEX record with a non-hex digit");
    return QStringLiteral("HEX record %1 (%2), %3 bytes at 0x%4, checksum %5")
        .arg(*type, 2, kHex, QLatin1Char('0'))
        .arg(flash::hexRecordTypeName(*type))
        .arg(*length)
        .arg((*high << 8) | *low, 4, kHex, QLatin1Char('0'))
        .arg(flash::hexRecordSum(*bytes) == 0 ? QStringLiteral("ok") : QStringLiteral("bad"));
}

// Whether an answer tells of a failure: a refused line, or a flash operation the device reports
// failed (taken as an answer, but the burn cannot count on it).
bool isFailure(const FlashResponse& response)
{
    if (response.kind == FlashResponse::Kind::LineAnswer)
        return !response.accepted;
    return response.code == FlashResponse::kTestFailed || response.code == FlashResponse::kEraseFailed;
}

} // namespace

FrameLabel labelFlashMessage(QByteArrayView frame)
{
    if (frame == flash::kStartBurnCommand)
        return { Protocol::Flash, QStringLiteral("start burning"), {} };
    if (frame == flash::kTestCommand)
        return { Protocol::Flash, QStringLiteral("flash test and erase"), {} };
    if (frame == flash::kEraseCommand)
        return { Protocol::Flash, QStringLiteral("flash erase"), {} };
    if (frame.startsWith(flash::kHexStartCode))
        return { Protocol::Flash, hexRecord(frame), {} };
    return { Protocol::Flash, QStringLiteral("unknown flash command"), {} };
}

FrameLabel labelFlashAnswer(QByteArrayView frame)
{
    if (frame.size() != kAnswerSize || !isAnswerStart(frame[0]))
        return { Protocol::Flash, QStringLiteral("not a flash answer"),
            QStringLiteral("Flash answer that is not one") };
    // Each answer is read against the kind of message it answers, as the burn reads it.
    const flash::FlashRequest request = frame[0] == FlashResponse::kLineAnswerStart
        ? flash::FlashRequest::Line
        : flash::FlashRequest::Command;
    const FlashResponse response = flash::judgeFlashResponse(frame, request);
    if (!response.listed && request == flash::FlashRequest::Command)
        return { Protocol::Flash, QStringLiteral("command answer with an unlisted code"), {} };
    QString text = response.statusText.value_or(QString());
    if (response.pauseFirst)
        text += QStringLiteral(" (slow write)");
    return { Protocol::Flash, text,
        isFailure(response) ? QStringLiteral("Flash answer: %1").arg(text) : QString() };
}

qsizetype flashFrameLength(QByteArrayView pending)
{
    if (pending.isEmpty())
        return 0;
    if (isAnswerStart(pending[0]))
        return pending.size() >= kAnswerSize ? kAnswerSize : 0;
    // Noise up to the next answer's start; it may go on while none has come.
    for (qsizetype i = 1; i < pending.size(); ++i) {
        if (isAnswerStart(pending[i]))
            return i;
    }
    return 0;
}

} // namespace velto::traffic
