#include "flash/flash_response.h"

namespace velto::flash {

namespace {

struct Row {
    quint8 code;
    const char* status;
    const char* mark;
    bool accepted;
};

constexpr Row kLineRows[] = {
    { 0xA0, "Incorrect Start Code", ":A0", false },
    { 0xA1, "Incorrect Data Lenght", ":A1", false },
    { 0xA2, "Incorrect Checksum", ":A2", false },
    { 0xA3, "File Transfering... Please Wait", ":A3", true },
    { FlashResponse::kSlowWrite, "File Transfering... Please Wait", ":A4", true },
    { FlashResponse::kEndOfFile, "End of File", ":A5", true },
    { 0xA6, "End of Program", ":A6", false },
};

constexpr Row kCommandRows[] = {
    { FlashResponse::kStartBurn, "Flash Start Burn", "<B7", true },
    { FlashResponse::kTestSucceeded, "Flash Test Succeeded", "<B2", true },
    { FlashResponse::kTestFailed, "Flash Test Failed", "<B3", true },
    { FlashResponse::kEraseSucceeded, "Flash Erase Succeeded", "<B5", true },
    { FlashResponse::kEraseFailed, "Flash Erase Failed", "<B6", true },
};

const QString kAccidentalText = QStringLiteral("Accidental Response");

template <size_t N> const Row* findRow(const Row (&rows)[N], quint8 code)
{
    for (const Row& row : rows) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

FlashResponse judgeLineAnswer(quint8 code)
{
    FlashResponse r;
    r.kind = FlashResponse::Kind::LineAnswer;
    r.code = code;
    if (const Row* row = findRow(kLineRows, code)) {
        r.statusText = QString::fromLatin1(row->status);
        r.mark = QString::fromLatin1(row->mark);
        r.accepted = row->accepted;
        r.listed = true;
        r.pauseFirst = code == FlashResponse::kSlowWrite;
    } else {
        r.statusText = kAccidentalText;
        r.mark = QStringLiteral(":UNKNOWN");
    }
    return r;
}

FlashResponse judgeCommandAnswer(quint8 code)
{
    FlashResponse r;
    r.kind = FlashResponse::Kind::CommandAnswer;
    r.code = code;
    r.accepted = true;
    if (const Row* row = findRow(kCommandRows, code)) {
        r.statusText = QString::fromLatin1(row->status);
        r.mark = QString::fromLatin1(row->mark);
        r.listed = true;
    } else {
        // Any other code is taken as it comes and shown as the character it is.
        const char c = char(code);
        r.mark = QString::fromLatin1(&c, 1);
    }
    return r;
}

} // namespace

FlashResponse judgeFlashResponse(QByteArrayView bytes, FlashRequest request)
{
    if (bytes.size() < 2)
        return {};
    const quint8 code = quint8(bytes[1]);
    FlashResponse r;
    switch (bytes[0]) {
    case FlashResponse::kLineAnswerStart:
        r = judgeLineAnswer(code);
        break;
    case FlashResponse::kCommandAnswerStart:
        r = judgeCommandAnswer(code);
        break;
    default:
        r.kind = FlashResponse::Kind::Other;
        r.code = code;
        return r;
    }
    const bool fits = (r.kind == FlashResponse::Kind::LineAnswer) == (request == FlashRequest::Line);
    if (r.accepted && !fits) {
        r.accepted = false;
        r.pauseFirst = false;
        r.statusText = kAccidentalText;
    }
    return r;
}

} // namespace velto::flash
