#include "traffic/frame_labels.h"

#include <numeric>

namespace velto::traffic {

namespace {

constexpr quint8 kSync0 = 0x55;
constexpr quint8 kSync1 = 0xAA;
constexpr qsizetype kShortCommand = 18;
constexpr qsizetype kLongCommand = 24;
constexpr qsizetype kStatusReply = 13;
constexpr qsizetype kBlock = 68;
constexpr qsizetype kBlockHeader = 4;
constexpr quint8 kSpectrumKind = 0x3C;
constexpr quint8 kTimeDomainKind = 0xC3;
constexpr quint8 kBlockMark = 0x44;
constexpr quint8 kMoreBlocks = 0x40;
constexpr quint8 kLastBlock = 0x00;
constexpr quint8 kSendStatus = 0x01;
constexpr quint8 kTrack = 0x03;
constexpr quint8 kStandBy = 0x05;
constexpr quint8 kMonitoring = 0xF4;
constexpr quint8 kSetParameters = 0xF8;
constexpr quint8 kSpectrumSelector = 0x10;
constexpr quint8 kTimeDomainSelector = 0x04;
constexpr qsizetype kSelectorAt = 17;
constexpr double kTenthsOfMmPerMetre = 10000.0;

quint8 sum8(QByteArrayView bytes)
{
    return quint8(
        std::accumulate(bytes.begin(), bytes.end(), 0u, [](unsigned s, char c) { return s + quint8(c); }));
}

quint16 le16(QByteArrayView bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8));
}

QString commandName(quint8 code)
{
    switch (code) {
    case kSendStatus:
        return QStringLiteral("Send Status");
    case kTrack:
        return QStringLiteral("Track");
    case kStandBy:
        return QStringLiteral("StandBy");
    case kMonitoring:
        return QStringLiteral("Monitoring");
    case kSetParameters:
        return QStringLiteral("Set Parameters");
    default:
        return QStringLiteral("command 0x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

bool isBlockKind(quint8 byte)
{
    return byte == kSpectrumKind || byte == kTimeDomainKind;
}

// Where a radar frame may start, from `from` on: a status reply's sync or a block's kind byte.
qsizetype nextStart(QByteArrayView pending, qsizetype from)
{
    for (qsizetype i = from; i < pending.size(); ++i) {
        if (quint8(pending[i]) == kSync0 || isBlockKind(quint8(pending[i])))
            return i;
    }
    return -1;
}

QString checksumText(bool ok)
{
    return ok ? QStringLiteral("checksum ok") : QStringLiteral("checksum bad");
}

} // namespace

FrameLabel labelRadarCommand(QByteArrayView frame, LabelContext& context)
{
    const quint8 code = frame.size() > 2 ? quint8(frame[2]) : 0;
    context.radarCommand = code;
    context.radarBlocks = 0;
    if (frame.size() != kShortCommand && frame.size() != kLongCommand)
        return { Protocol::Radar,
            QStringLiteral("%1, %2 bytes: not a command frame's length")
                .arg(commandName(code))
                .arg(frame.size()),
            {} };
    const bool checksumOk = sum8(frame.first(frame.size() - 1)) == quint8(frame.back());
    QString detail;
    if (code == kMonitoring && frame.size() == kLongCommand) {
        const quint8 selector = quint8(frame[kSelectorAt]);
        detail = selector == kSpectrumSelector ? QStringLiteral(", spectrum data")
            : selector == kTimeDomainSelector  ? QStringLiteral(", time-domain data")
                                               : QStringLiteral(", no data kind");
    } else if (code == kSetParameters && frame.size() == kLongCommand) {
        detail = QStringLiteral(": central frequency %1 MHz, band %2 MHz, tank height %3 mm, true liquid "
                                "height %4 mm")
                     .arg(le16(frame, 4))
                     .arg(le16(frame, 6))
                     .arg(le16(frame, 8))
                     .arg(le16(frame, 10));
    }
    return { Protocol::Radar,
        QStringLiteral("%1%2, %3").arg(commandName(code), detail, checksumText(checksumOk)), {} };
}

FrameLabel labelRadarReply(QByteArrayView frame, LabelContext& context)
{
    if (frame.size() == kStatusReply && quint8(frame[0]) == kSync0 && quint8(frame[1]) == kSync1) {
        const quint8 code = quint8(frame[2]);
        const bool checksumOk = sum8(frame.first(kStatusReply - 1)) == quint8(frame[kStatusReply - 1]);
        QString summary = QStringLiteral("reply to %1").arg(commandName(code));
        if (code == kSendStatus) {
            const quint32 raw = quint32(quint8(frame[3])) | (quint32(quint8(frame[4])) << 8)
                | (quint32(quint8(frame[5])) << 16) | (quint32(quint8(frame[6])) << 24);
            summary += QStringLiteral(": distance %1 m, S/N %2 dB")
                           .arg(raw / kTenthsOfMmPerMetre, 0, 'f', 4)
                           .arg(quint8(frame[11]));
        }
        summary += QStringLiteral(", ") + checksumText(checksumOk);
        QString failure;
        if (!checksumOk)
            failure = QStringLiteral("Radar reply with a bad checksum");
        else if (code != context.radarCommand)
            failure = QStringLiteral("Radar reply to %1 after %2 was sent")
                          .arg(commandName(code), commandName(context.radarCommand));
        return { Protocol::Radar, summary, failure };
    }
    if (frame.size() == kBlock && isBlockKind(quint8(frame[0])) && quint8(frame[2]) == kBlockMark) {
        const int number = ++context.radarBlocks;
        // The block checksum is the sum of the block's other 67 bytes.
        const bool checksumOk = quint8(sum8(frame) - quint8(frame[1])) == quint8(frame[1]);
        const bool last = quint8(frame[3]) == kLastBlock;
        const QString kind
            = quint8(frame[0]) == kSpectrumKind ? QStringLiteral("spectrum") : QStringLiteral("time-domain");
        return { Protocol::Radar,
            QStringLiteral("%1 block %2%3, %4")
                .arg(kind)
                .arg(number)
                .arg(last ? QStringLiteral(" (last)") : QString(), checksumText(checksumOk)),
            checksumOk ? QString()
                       : QStringLiteral("Radar %1 block %2 with a bad checksum").arg(kind).arg(number) };
    }
    return { Protocol::Radar, QStringLiteral("%1 bytes, not a whole radar reply or block").arg(frame.size()),
        {} };
}

qsizetype radarFrameLength(QByteArrayView pending)
{
    if (pending.isEmpty())
        return 0;
    const auto first = quint8(pending[0]);
    if (first == kSync0) {
        if (pending.size() < 2)
            return 0;
        if (quint8(pending[1]) == kSync1)
            return pending.size() >= kStatusReply ? kStatusReply : 0;
    } else if (isBlockKind(first)) {
        if (pending.size() < kBlockHeader)
            return 0;
        const auto more = quint8(pending[3]);
        if (quint8(pending[2]) == kBlockMark && (more == kMoreBlocks || more == kLastBlock))
            return pending.size() >= kBlock ? kBlock : 0;
    }
    // Noise: up to where a frame may start; it may go on, so wait while no such place has come.
    const qsizetype next = nextStart(pending, 1);
    return next < 0 ? 0 : next;
}

} // namespace velto::traffic
