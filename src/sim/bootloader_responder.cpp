#include "sim/bootloader_responder.h"

#include <utility>

namespace velto::sim {

namespace {
constexpr char kLineAnswer = ':';
constexpr char kCommandAnswer = '<';
constexpr qsizetype kCountEnd = 3; // ':' and the byte count
} // namespace

qsizetype BootloaderResponder::frameLength(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return 0;
    if (bytes.front() == kCommandStart) {
        if (bytes.size() < 2)
            return 0;
        if (bytes[1] != kCommandLetter)
            return -1;
        return bytes.size() < kCommandSize ? 0 : kCommandSize;
    }
    if (bytes.front() != kHexStartCode)
        return -1;
    if (bytes.size() < kCountEnd)
        return 0;
    const auto count = hexPairAt(bytes, 1);
    if (!count)
        return -1;
    const qsizetype size = hexRecordSize(*count);
    return bytes.size() < size ? 0 : size;
}

void BootloaderResponder::respond(QByteArrayView frame)
{
    if (frame.isEmpty())
        return;
    if (frame.front() == kCommandStart)
        handleCommand(frame);
    else
        handleRecord(frame);
}

void BootloaderResponder::feed(QByteArrayView bytes)
{
    m_pending.append(bytes.data(), bytes.size());
    while (m_burning && !m_pending.isEmpty()) {
        const qsizetype length = frameLength(m_pending);
        // A bad start or a bad byte count: where the line ends only the quiet after it tells, or
        // its length when it goes on and on.
        if (length <= 0) {
            if (m_pending.size() > kLongestLine)
                lineIdle();
            return;
        }
        const QByteArray frame = m_pending.first(length);
        m_pending.remove(0, length);
        respond(frame);
    }
}

void BootloaderResponder::lineIdle()
{
    if (m_pending.isEmpty())
        return;
    const char first = m_pending.front();
    m_pending.clear();
    // An unfinished command is not answered; an unfinished or misstarted line is.
    if (first == kCommandStart)
        return;
    ++m_recordsReceived;
    answer(kLineAnswer, first == kHexStartCode ? kBadLength : kBadStartCode);
}

void BootloaderResponder::heardAt(qint64 nowMs)
{
    if (m_burning && m_lastHeardMs >= 0 && nowMs - m_lastHeardMs > kBurnQuietLimitMs)
        leaveBurnMode();
    m_lastHeardMs = nowMs;
}

void BootloaderResponder::lineReopened()
{
    leaveBurnMode();
}

void BootloaderResponder::leaveBurnMode()
{
    m_burning = false;
    m_pending.clear();
}

QList<ScheduledReply> BootloaderResponder::takeAnswers()
{
    return std::exchange(m_answers, {});
}

void BootloaderResponder::handleCommand(QByteArrayView frame)
{
    ++m_commands;
    if (frame.size() != kCommandSize)
        return;
    quint8 code = 0;
    switch (frame[2]) {
    case '0':
        code = kStartBurn;
        break;
    case '1':
        code = kTestSucceeded;
        break;
    case '4':
        code = kEraseSucceeded;
        break;
    default:
        return;
    }
    if (!forcedCommandCodes.isEmpty()) {
        answer(kCommandAnswer, forcedCommandCodes.takeFirst());
        return;
    }
    if (code == kStartBurn) {
        m_burning = true;
        m_records.clear();
    } else {
        m_image.clear();
    }
    answer(kCommandAnswer, code);
}

void BootloaderResponder::handleRecord(QByteArrayView frame)
{
    ++m_recordsReceived;
    const HexRecordCheck check = checkHexRecord(frame);
    const bool valid = check.verdict == HexRecordCheck::Verdict::Ok;
    quint8 code = kRecordTaken;
    switch (check.verdict) {
    case HexRecordCheck::Verdict::BadStartCode:
        code = kBadStartCode;
        break;
    case HexRecordCheck::Verdict::BadLength:
        code = kBadLength;
        break;
    case HexRecordCheck::Verdict::BadChecksum:
        code = kBadChecksum;
        break;
    case HexRecordCheck::Verdict::Ok:
        code = check.record.type == HexRecord::EndOfFile ? kEndOfFile : kRecordTaken;
        break;
    }
    if (!forcedLineCodes.isEmpty())
        code = forcedLineCodes.takeFirst();
    const QByteArray record = frame.toByteArray();
    if (const auto forced = recordCodes.constFind(record); forced != recordCodes.cend())
        code = *forced;
    int extraDelayMs = 0;
    if (auto delays = recordDelaysMs.find(record); delays != recordDelaysMs.end() && !delays->isEmpty())
        extraDelayMs = delays->takeFirst();
    const bool taken = code == kRecordTaken || code == kSlowWrite || code == kEndOfFile;
    if (valid && taken) {
        m_records.append(frame.toByteArray());
        m_image.apply(check.record);
        if (check.record.type == HexRecord::EndOfFile)
            m_burning = false;
    }
    answer(kLineAnswer, code, extraDelayMs);
}

void BootloaderResponder::answer(char start, quint8 code, int extraDelayMs)
{
    if (dropAnswers > 0) {
        --dropAnswers;
        return;
    }
    if (extraDelayMs < 0)
        return;
    const char pair[2] = { start, char(code) };
    const QByteArray bytes(pair, 2);
    const int delayMs = answerDelayMs + extraDelayMs;
    for (int copy = 0; copy < answerCopies; ++copy) {
        if (splitGapMs <= 0) {
            m_answers.append({ delayMs, bytes });
            continue;
        }
        m_answers.append({ delayMs, bytes.first(1) });
        m_answers.append({ delayMs + splitGapMs, bytes.sliced(1) });
    }
}

} // namespace velto::sim
