#include "traffic/frame_labels.h"

namespace velto::traffic {

namespace {

constexpr char kLineAnswer = ':';
constexpr char kCommandAnswer = '<';
constexpr qsizetype kAnswerSize = 2;
constexpr qsizetype kRecordHeaderDigits = 9; // ':' LL AAAA TT
constexpr int kHex = 16;

struct AnswerText {
    char start;
    quint8 code;
    const char* text;
    bool failure;
};

// The flash window's status texts for each answer; a failure either refuses the line or the command
// or reports that the device's flash operation failed.
constexpr AnswerText kAnswers[] = {
    { kLineAnswer, 0xA0, "Incorrect Start Code", true },
    { kLineAnswer, 0xA1, "Incorrect Data Lenght", true },
    { kLineAnswer, 0xA2, "Incorrect Checksum", true },
    { kLineAnswer, 0xA3, "File Transfering... Please Wait", false },
    { kLineAnswer, 0xA4, "File Transfering... Please Wait (slow write)", false },
    { kLineAnswer, 0xA5, "End of File", false },
    { kLineAnswer, 0xA6, "End of Program", true },
    { kCommandAnswer, 0xB7, "Flash Start Burn", false },
    { kCommandAnswer, 0xB2, "Flash Test Succeeded", false },
    { kCommandAnswer, 0xB3, "Flash Test Failed", true },
    { kCommandAnswer, 0xB5, "Flash Erase Succeeded", false },
    { kCommandAnswer, 0xB6, "Flash Erase Failed", true },
};

int hexByte(QByteArrayView v, qsizetype at)
{
    if (at + 2 > v.size())
        return -1;
    bool ok = false;
    const int value = QByteArray(v.sliced(at, 2).data(), 2).toInt(&ok, kHex);
    return ok ? value : -1;
}

QString recordType(int type)
{
    switch (type) {
    case 0:
        return QStringLiteral("data");
    case 1:
        return QStringLiteral("end of file");
    case 2:
        return QStringLiteral("extended segment address");
    case 3:
        return QStringLiteral("start segment address");
    case 4:
        return QStringLiteral("extended linear address");
    case 5:
        return QStringLiteral("start linear address");
    default:
        return QStringLiteral("unknown type");
    }
}

QString hexRecord(QByteArrayView frame)
{
    const int length = hexByte(frame, 1);
    const int high = hexByte(frame, 3);
    const int low = hexByte(frame, 5);
    const int type = hexByte(frame, 7);
    if (length < 0 || high < 0 || low < 0 || type < 0)
        return QStringLiteral("HEX line that is not a record");
    const qsizetype digits = frame.size() - 1;
    if (frame.size() != kRecordHeaderDigits + 2 * length + 2)
        return QStringLiteral("HEX record of type %1 whose length is wrong (%2 characters)")
            .arg(type)
            .arg(digits);
    // Every byte of the record, its checksum included, adds up to 0 mod 256.
    int sum = 0;
    for (qsizetype at = 1; at < frame.size(); at += 2) {
        const int b = hexByte(frame, at);
        if (b < 0)
            return QStringLiteral("HEX record with a non-hex digit");
        sum += b;
    }
    return QStringLiteral("HEX record %1 (%2), %3 bytes at 0x%4, checksum %5")
        .arg(type, 2, kHex, QLatin1Char('0'))
        .arg(recordType(type))
        .arg(length)
        .arg((high << 8) | low, 4, kHex, QLatin1Char('0'))
        .arg((sum & 0xFF) == 0 ? QStringLiteral("ok") : QStringLiteral("bad"));
}

} // namespace

FrameLabel labelFlashMessage(QByteArrayView frame)
{
    if (frame == ">B0")
        return { Protocol::Flash, QStringLiteral("start burning"), {} };
    if (frame == ">B1")
        return { Protocol::Flash, QStringLiteral("flash test and erase"), {} };
    if (frame == ">B4")
        return { Protocol::Flash, QStringLiteral("flash erase"), {} };
    if (frame.startsWith(':'))
        return { Protocol::Flash, hexRecord(frame), {} };
    return { Protocol::Flash, QStringLiteral("unknown flash command"), {} };
}

FrameLabel labelFlashAnswer(QByteArrayView frame)
{
    if (frame.size() == kAnswerSize && (frame[0] == kLineAnswer || frame[0] == kCommandAnswer)) {
        for (const AnswerText& a : kAnswers) {
            if (a.start == frame[0] && a.code == quint8(frame[1])) {
                const QString text = QString::fromLatin1(a.text);
                return { Protocol::Flash, text,
                    a.failure ? QStringLiteral("Flash answer: %1").arg(text) : QString() };
            }
        }
        // Any other command answer is taken; any other line answer is not.
        if (frame[0] == kCommandAnswer)
            return { Protocol::Flash, QStringLiteral("command answer with an unlisted code"), {} };
        return { Protocol::Flash, QStringLiteral("Accidental Response"),
            QStringLiteral("Flash answer: Accidental Response") };
    }
    return { Protocol::Flash, QStringLiteral("not a flash answer"),
        QStringLiteral("Flash answer that is not one") };
}

qsizetype flashFrameLength(QByteArrayView pending)
{
    if (pending.isEmpty())
        return 0;
    if (pending[0] == kLineAnswer || pending[0] == kCommandAnswer)
        return pending.size() >= kAnswerSize ? kAnswerSize : 0;
    // Noise up to the next answer's start; it may go on while none has come.
    for (qsizetype i = 1; i < pending.size(); ++i) {
        if (pending[i] == kLineAnswer || pending[i] == kCommandAnswer)
            return i;
    }
    return 0;
}

} // namespace velto::traffic
