#include "support/scripted_velto_peer.h"

#include "sim/velto_ascii.h"

namespace velto::test {

namespace {
// Longer than any request: what piles up without a carriage return is noise.
constexpr qsizetype kMaxPending = 64;
} // namespace

ScriptedVeltoPeer::ScriptedVeltoPeer(int address, QObject* parent)
    : ScriptedPeer(parent)
    , address(address)
{
}

ScriptedVeltoPeer::~ScriptedVeltoPeer() = default;

void ScriptedVeltoPeer::onReadable()
{
    m_buffer += m_line.readMasterNow();
    for (qsizetype end = m_buffer.indexOf(sim::kVeltoEnd); end >= 0; end = m_buffer.indexOf(sim::kVeltoEnd)) {
        const QByteArray frame = m_buffer.first(end + 1);
        m_buffer.remove(0, end + 1);
        const qsizetype start = frame.lastIndexOf(sim::kVeltoStart);
        if (start >= 0)
            answer(QByteArrayView(frame).sliced(start));
    }
    if (m_buffer.size() > kMaxPending)
        m_buffer.clear();
}

void ScriptedVeltoPeer::answer(QByteArrayView frame)
{
    const auto request = sim::parseVeltoRequest(frame);
    if (!request)
        return;
    ++requestsHeard;
    emit requestHeard();
    if (request->address != address || silent || !sim::isKnownVeltoCommand(request->command))
        return;
    sim::VeltoReply reply;
    reply.address = address + addressShift;
    reply.command = request->command;
    switch (request->command) {
    case sim::velto_cmd::kDistance:
        reply.value = distanceMm;
        break;
    case sim::velto_cmd::kTankHeight:
        reply.value = tankHeightMm;
        break;
    case sim::velto_cmd::kLevel:
        reply.value = levelMm;
        break;
    default:
        reply.value = temperatureC;
        break;
    }
    m_line.writeMaster(sim::buildVeltoReply(reply));
}

} // namespace velto::test
