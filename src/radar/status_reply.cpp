#include "radar/status_reply.h"

#include "radar/radar_frame.h"

namespace velto::radar {

namespace {
constexpr qsizetype kCodeAt = 2;
constexpr qsizetype kDistanceAt = 3; // four bytes, least significant first
constexpr qsizetype kSignalToNoiseAt = 11;
constexpr qsizetype kChecksumAt = 12;
const QString kNoResponse = QStringLiteral("No Response");
const QString kIncorrectChecksum = QStringLiteral("Incorrect Checksum");
} // namespace

std::optional<StatusReplyFields> readStatusReply(QByteArrayView frame)
{
    if (frame.size() != kStatusReplySize || quint8(frame[0]) != kFrameStart0
        || quint8(frame[1]) != kFrameStart1)
        return std::nullopt;
    quint32 raw = 0;
    for (int i = 3; i >= 0; --i)
        raw = (raw << 8) | quint8(frame[kDistanceAt + i]);
    return StatusReplyFields { quint8(frame[kCodeAt]), qint32(raw), quint8(frame[kSignalToNoiseAt]),
        additiveChecksum(frame.first(kChecksumAt)) == quint8(frame[kChecksumAt]) };
}

QString wrongHeaderText(RadarCommand command)
{
    switch (command) {
    case RadarCommand::StandBy:
        return QStringLiteral("Incorrect Standby Header");
    case RadarCommand::SendStatus:
        return QStringLiteral("Incorrect Send Status Header");
    case RadarCommand::Track:
        return QStringLiteral("Incorrect Track Header");
    case RadarCommand::SetParameters:
        return QStringLiteral("Incorrect Parameters Header");
    case RadarCommand::Monitoring:
        break;
    }
    return {};
}

StatusReply judgeStatusReply(QByteArrayView buffer, RadarCommand command)
{
    StatusReply reply;
    const qsizetype n = buffer.size();
    if (n < kStatusReplySize) {
        reply.logText = kNoResponse;
        return reply;
    }
    const auto at = [&buffer](qsizetype i) { return quint8(buffer[i]); };
    const quint8 expected = commandCode(command);
    const auto headerFrom = [&](qsizetype from) {
        for (qsizetype h = from; h + 3 < n; ++h) {
            if (at(h) == kFrameStart0 && at(h + 1) == kFrameStart1 && at(h + kCodeAt) == expected)
                return h;
        }
        return qsizetype(-1);
    };
    const auto wholeAt = [&](qsizetype h) {
        return h + kChecksumAt < n && additiveChecksum(buffer.sliced(h, kChecksumAt)) == at(h + kChecksumAt);
    };
    reply.headerAt = headerFrom(0);
    if (reply.headerAt < 0) {
        reply.outcome = StatusReply::Outcome::WrongHeader;
        reply.logText = wrongHeaderText(command);
        return reply;
    }
    const qsizetype h = reply.headerAt;
    if (h + kChecksumAt >= n) {
        reply.outcome = StatusReply::Outcome::Incomplete;
        return reply;
    }
    const QByteArrayView frame = buffer.sliced(h, kStatusReplySize);
    if (!wholeAt(h)) {
        reply.outcome = StatusReply::Outcome::WrongChecksum;
        reply.logText = kIncorrectChecksum;
        return reply;
    }
    // One request, one answer: a second one in the same look leaves it open which one was ours.
    for (qsizetype next = headerFrom(h + kStatusReplySize); next >= 0; next = headerFrom(next + 1)) {
        if (wholeAt(next)) {
            reply.outcome = StatusReply::Outcome::AnsweredTwice;
            reply.logText = wrongHeaderText(command) + QStringLiteral(" (more than one answer)");
            return reply;
        }
    }
    reply.outcome = StatusReply::Outcome::Accepted;
    const StatusReplyFields fields = *readStatusReply(frame);
    reply.code = fields.code;
    if (command == RadarCommand::SendStatus) {
        reply.rawDistance = fields.rawDistance;
        reply.signalToNoise = fields.signalToNoise;
    }
    reply.logText = hexDump(frame);
    return reply;
}

} // namespace velto::radar
