#include "serial/echo_skipper.h"

namespace velto::serial {

void EchoSkipper::sent(QByteArrayView bytes)
{
    m_due.append(bytes.data(), bytes.size());
    if (m_due.size() > kMaxDueBytes) {
        // Never echoed: keep only the newest bytes due, minus whatever was already matched.
        const qsizetype drop = m_due.size() - kMaxDueBytes;
        if (drop >= m_matched) {
            m_due.remove(0, drop);
            m_matched = 0;
        }
    }
}

EchoSkipper::Split EchoSkipper::take(QByteArrayView received)
{
    Split out;
    qsizetype at = 0;
    while (at < received.size() && m_matched < m_due.size()) {
        if (received[at] != m_due[m_matched]) {
            out.passed = release();
            break;
        }
        ++m_matched;
        ++at;
        if (m_matched == m_due.size()) {
            out.echo = std::exchange(m_due, {});
            m_matched = 0;
        }
    }
    out.passed.append(received.sliced(at).data(), received.size() - at);
    return out;
}

void EchoSkipper::reset()
{
    m_due.clear();
    m_matched = 0;
}

QByteArray EchoSkipper::release()
{
    QByteArray held = m_due.first(m_matched);
    reset();
    return held;
}

} // namespace velto::serial
