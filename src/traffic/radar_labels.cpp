#include "traffic/frame_labels.h"

#include "radar/monitoring_block.h"
#include "radar/radar_format.h"
#include "radar/radar_frame.h"
#include "radar/status_reply.h"

namespace velto::traffic {

namespace {

constexpr qsizetype kCodeAt = 2;

QString commandName(quint8 code)
{
    if (const std::optional<radar::RadarCommand> command = radar::commandForCode(code))
        return radar::modeText(*command);
    return QStringLiteral("command 0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

bool isFrameStart(QByteArrayView bytes, qsizetype at)
{
    return at + 1 < bytes.size() && quint8(bytes[at]) == radar::kFrameStart0
        && quint8(bytes[at + 1]) == radar::kFrameStart1;
}

// Where a radar frame may start, from `from` on: a status reply's first start byte or a block's kind.
qsizetype nextStart(QByteArrayView pending, qsizetype from)
{
    for (qsizetype i = from; i < pending.size(); ++i) {
        const auto byte = quint8(pending[i]);
        if (byte == radar::kFrameStart0 || radar::kindOfBlock(byte))
            return i;
    }
    return -1;
}

QString checksumText(bool ok)
{
    return ok ? QStringLiteral("checksum ok") : QStringLiteral("checksum bad");
}

QString kindName(radar::MonitoringKind kind)
{
    return kind == radar::MonitoringKind::Spectrum ? QStringLiteral("spectrum")
                                                   : QStringLiteral("time-domain");
}

QString commandDetail(const radar::RadarFrameFields& fields)
{
    if (fields.code == radar::code::kMonitoring) {
        switch (fields.dataSelector) {
        case radar::selector::kSpectrum:
            return QStringLiteral(", spectrum data");
        case radar::selector::kTimeDomain:
            return QStringLiteral(", time-domain data");
        default:
            return QStringLiteral(", no data kind");
        }
    }
    if (fields.code == radar::code::kSetParameters) {
        const radar::RadarParameters& p = fields.parameters;
        return QStringLiteral(": central frequency %1 MHz, band %2 MHz, tank height %3 mm, true liquid "
                              "height %4 mm")
            .arg(p.centralFrequencyMHz)
            .arg(p.bandMHz)
            .arg(p.tankHeightMm)
            .arg(p.trueLiquidHeightMm);
    }
    return {};
}

} // namespace

FrameLabel labelRadarCommand(QByteArrayView frame, LabelContext& context)
{
    const quint8 code = frame.size() > kCodeAt ? quint8(frame[kCodeAt]) : 0;
    context.radarCommand = code;
    context.radarBlocks = 0;
    const std::optional<radar::RadarFrameFields> fields = radar::readRadarFrame(frame);
    if (!fields)
        return { Protocol::Radar,
            QStringLiteral("%1, %2 bytes: not a command frame's length")
                .arg(commandName(code))
                .arg(frame.size()),
            {} };
    const QString detail = frame.size() == radar::kLongFrameSize ? commandDetail(*fields) : QString();
    return { Protocol::Radar,
        QStringLiteral("%1%2, %3").arg(commandName(code), detail, checksumText(fields->checksumOk)), {} };
}

FrameLabel labelRadarReply(QByteArrayView frame, LabelContext& context)
{
    if (const std::optional<radar::StatusReplyFields> reply = radar::readStatusReply(frame)) {
        QString summary = QStringLiteral("reply to %1").arg(commandName(reply->code));
        if (reply->code == radar::code::kSendStatus)
            summary += QStringLiteral(": distance %1 m, S/N %2 dB")
                           .arg(radar::formatTenthsOfMm(reply->rawDistance))
                           .arg(reply->signalToNoise);
        summary += QStringLiteral(", ") + checksumText(reply->checksumOk);
        QString failure;
        if (!reply->checksumOk)
            failure = QStringLiteral("Radar reply with a bad checksum");
        else if (reply->code != context.radarCommand)
            failure = QStringLiteral("Radar reply to %1 after %2 was sent")
                          .arg(commandName(reply->code), commandName(context.radarCommand));
        return { Protocol::Radar, summary, failure };
    }
    const std::optional<radar::BlockHeader> header = radar::readBlockHeader(frame);
    if (frame.size() == radar::kBlockSize && header) {
        const int number = ++context.radarBlocks;
        const bool checksumOk = radar::blockChecksumOk(frame);
        const QString kind = kindName(header->kind);
        return { Protocol::Radar,
            QStringLiteral("%1 block %2%3, %4")
                .arg(kind)
                .arg(number)
                .arg(header->last ? QStringLiteral(" (last)") : QString(), checksumText(checksumOk)),
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
    if (first == radar::kFrameStart0) {
        if (pending.size() < 2)
            return 0;
        if (isFrameStart(pending, 0))
            return pending.size() >= radar::kStatusReplySize ? radar::kStatusReplySize : 0;
    } else if (radar::kindOfBlock(first)) {
        if (pending.size() < radar::kBlockHeader)
            return 0;
        if (radar::readBlockHeader(pending))
            return pending.size() >= radar::kBlockSize ? radar::kBlockSize : 0;
    }
    // Noise: up to where a frame may start; it may go on, so wait while no such place has come.
    const qsizetype next = nextStart(pending, 1);
    return next < 0 ? 0 : next;
}

} // namespace velto::traffic
