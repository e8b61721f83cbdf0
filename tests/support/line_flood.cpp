#include "support/line_flood.h"

#include <QByteArray>

#include <unistd.h>

namespace velto::test {

LineFlood::LineFlood(int fd, quint32 seed)
    : m_fd(fd)
    , m_random(seed)
{
    m_timer.setInterval(kEveryMs);
    connect(&m_timer, &QTimer::timeout, this, &LineFlood::burst);
}

void LineFlood::burst()
{
    QByteArray bytes(kBurstBytes, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(m_random.bounded(256));
    ++m_bursts;
    const ssize_t n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
    if (n > 0)
        m_sent += n;
}

} // namespace velto::test
