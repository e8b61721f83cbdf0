#include "support/scripted_radar_peer.h"

#include "support/radar_bytes.h"

#include <unistd.h>

namespace velto::test {

namespace {
using namespace sim::radar_wire;

constexpr qsizetype kBlockBytes = 68;
constexpr quint8 kSpectrumKind = 0x3C;
constexpr quint8 kTimeDomainKind = 0xC3;
// Each reply is made for a moment further on, so the distances move as on a real tank.
constexpr qint64 kMsPerRequest = 1000;

quint8 anotherCommand(quint8 code)
{
    switch (code) {
    case kSendStatus:
        return kTrack;
    case kTrack:
        return kStandBy;
    case kStandBy:
        return kSetParameters;
    default:
        return kSendStatus;
    }
}

// The block keeps its checksum right for its own bytes: only its kind is wrong.
void makeBlockOfOtherKind(QByteArray& reply, int blockNumber)
{
    const qsizetype at = (blockNumber - 1) * kBlockBytes;
    if (reply.size() < at + kBlockBytes)
        return;
    const quint8 kind = quint8(reply[at]) == kSpectrumKind ? kTimeDomainKind : kSpectrumKind;
    reply[at] = char(kind);
    mendBlockChecksum(reply, at);
}
} // namespace

ScriptedRadarPeer::ScriptedRadarPeer(int charactersPerSecond, QObject* parent)
    : ScriptedPeer(parent)
{
    if (!m_line.isValid())
        return;
    m_writer = std::make_unique<sim::PacedWriter>([this](QByteArrayView bytes) { return writeSome(bytes); },
        [charactersPerSecond] { return charactersPerSecond; });
    m_repeat.setTimerType(Qt::PreciseTimer);
    connect(&m_repeat, &QTimer::timeout, this, [this] {
        if (m_writer)
            m_writer->enqueue(m_repeated, 0);
        if (m_repeat.interval() != repeatMs)
            m_repeat.start(repeatMs);
    });
}

ScriptedRadarPeer::~ScriptedRadarPeer() = default;

void ScriptedRadarPeer::closeLine()
{
    m_repeat.stop();
    m_writer.reset();
    ScriptedPeer::closeLine();
}

qsizetype ScriptedRadarPeer::writeSome(QByteArrayView bytes)
{
    if (m_line.masterFd() < 0)
        return bytes.size();
    const ssize_t n = ::write(m_line.masterFd(), bytes.data(), size_t(bytes.size()));
    return n > 0 ? qsizetype(n) : 0;
}

void ScriptedRadarPeer::onReadable()
{
    m_buffer += m_line.readMasterNow();
    while (m_buffer.size() >= 3) {
        if (quint8(m_buffer[0]) != kStart0 || quint8(m_buffer[1]) != kStart1) {
            m_buffer.remove(0, 1);
            continue;
        }
        const qsizetype length = frameLength(quint8(m_buffer[2]));
        if (length == 0) {
            m_buffer.remove(0, 1);
            continue;
        }
        if (m_buffer.size() < length)
            return;
        const QByteArray frame = m_buffer.first(length);
        m_buffer.remove(0, length);
        if (isValidFrame(frame))
            respond(frame);
    }
}

void ScriptedRadarPeer::respond(const QByteArray& frame)
{
    ++requestsHeard;
    lastCode = quint8(frame[2]);
    m_ms += kMsPerRequest;
    emit requestHeard(lastCode);
    const QList<sim::RadarReply> replies = sensor.respond(frame, m_ms);
    m_repeat.stop();
    if (answer == Answer::Silent || !m_writer)
        return;
    if (answer == Answer::Echo || answer == Answer::EchoThenRight)
        m_writer->enqueue(frame, 0);
    if (answer == Answer::Echo)
        return;
    if (answer == Answer::HeaderOverAndOver) {
        // Enough bytes to be looked at, the header among the last few: never a whole reply.
        m_repeated = QByteArray(10, '\x11') + frame.first(3) + QByteArray(1, '\0');
        m_repeat.start(repeatMs / 2);
        return;
    }
    for (sim::RadarReply reply : replies) {
        const bool monitoring = lastCode == kMonitoring;
        if (distanceTenthsOfMm && lastCode == kSendStatus)
            reply.bytes = sim::RadarResponder::statusReply(kSendStatus, *distanceTenthsOfMm, 30, 0);
        if (answer == Answer::AnotherCommand) {
            const quint8 code = monitoring ? kSendStatus : anotherCommand(lastCode);
            reply.bytes = sim::RadarResponder::statusReply(code, sensor.reportedTenthsOfMm(m_ms), 30, 1);
        } else if (answer == Answer::AnotherBlock && monitoring) {
            makeBlockOfOtherKind(reply.bytes, kAnotherBlockNumber);
        } else if (answer == Answer::BlockTwice && monitoring) {
            reply.bytes.prepend(reply.bytes.first(kBlockBytes));
        }
        m_writer->enqueue(reply.bytes, reply.delayMs);
        if (answer == Answer::Twice)
            m_writer->enqueue(reply.bytes, 0);
    }
}

} // namespace velto::test
