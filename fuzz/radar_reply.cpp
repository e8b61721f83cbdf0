// The radar window's judging of whatever Timer_Rx found: status replies for every command and
// monitoring replies of both kinds, with any block ranges. Nothing is read past the buffer, and an
// accepted reply always carries the arrays its kind promises.
#include "fuzz_input.h"
#include "radar/monitoring_reply.h"
#include "radar/status_reply.h"

#include <cstdlib>

using namespace velto::radar;

namespace {

void checkStatus(QByteArrayView buffer, RadarCommand command)
{
    const StatusReply r = judgeStatusReply(buffer, command);
    if (r.accepted() && (r.headerAt < 0 || r.headerAt + kStatusReplySize > buffer.size()))
        std::abort();
    if (r.accepted() && r.code != commandCode(command))
        std::abort();
}

void checkMonitoring(QByteArrayView buffer, MonitoringKind kind, BlockRange fft, BlockRange raw)
{
    const MonitoringReply r = judgeMonitoringReply(buffer, kind, fft, raw);
    if (!r.accepted())
        return;
    if (r.streamStart + replySize(kind) > buffer.size()
        || r.payload.size() != blockCount(kind) * kBlockPayload)
        std::abort();
    if (kind == MonitoringKind::Spectrum
        && (r.spectrumBins.isEmpty() || r.spectrumBins.size() % kBlockPayload))
        std::abort();
    if (kind == MonitoringKind::TimeDomain
        && (r.rawFileSamples.size() != kFileSamples || r.rawSamples.isEmpty() || r.rawMin > r.rawMax))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const BlockRange fft { int(qint8(input.takeByte())), int(qint8(input.takeByte())) };
    const BlockRange raw { int(input.takeByte()), int(input.takeByte()) };
    // Its own allocation of exactly the bytes, so a read past the end is caught.
    const QByteArray buffer = input.rest().toByteArray();
    for (RadarCommand c :
        { RadarCommand::SendStatus, RadarCommand::Track, RadarCommand::StandBy, RadarCommand::SetParameters })
        checkStatus(buffer, c);
    checkMonitoring(buffer, MonitoringKind::Spectrum, fft, raw);
    checkMonitoring(buffer, MonitoringKind::TimeDomain, fft, raw);
    return 0;
}
