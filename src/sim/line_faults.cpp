#include "sim/line_faults.h"

namespace velto::sim {

QList<PlannedWrite> FaultPlanner::plan(const QByteArray& reply, const LineFaults& faults)
{
    if (reply.isEmpty() || chance(faults.silence))
        return {};
    QByteArray bytes = reply;
    if (bytes.size() > 1 && chance(faults.shortReply))
        bytes.chop(1 + m_random.bounded(int(bytes.size() - 1)));
    if (chance(faults.corrupt)) {
        const int at = m_random.bounded(int(bytes.size()));
        // Never the same byte again, or the fault would not be one.
        bytes[at] = char(quint8(bytes[at]) ^ quint8(1 + m_random.bounded(255)));
    }
    if (chance(faults.garbage)) {
        QByteArray noise(1 + m_random.bounded(kMaxGarbageBytes), Qt::Uninitialized);
        for (char& c : noise)
            c = char(m_random.bounded(256));
        bytes.prepend(noise);
    }
    if (bytes.size() > 1 && chance(faults.split)) {
        const int cut = 1 + m_random.bounded(int(bytes.size() - 1));
        return { { faults.lateMs, bytes.first(cut) },
            { faults.lateMs + faults.splitGapMs, bytes.sliced(cut) } };
    }
    return { { faults.lateMs, bytes } };
}

} // namespace velto::sim
