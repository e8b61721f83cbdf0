#include "serial/keep_alive.h"

#include <QAbstractSocket>
#include <QVariant>

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace velto::serial {

void keepConnectionAlive(QAbstractSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    // Requests and answers are a few bytes each: send them at once, not after Nagle's wait.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
#if defined(Q_OS_LINUX)
    const auto fd = int(socket.socketDescriptor());
    if (fd < 0)
        return;
    const int idle = kKeepAliveIdleS;
    const int interval = kKeepAliveIntervalS;
    const int probes = kKeepAliveProbes;
    const unsigned int unacknowledged = kUnacknowledgedLimitMs;
    // Best effort: a system without one of these keeps its own default.
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
#endif
}

} // namespace velto::serial
