#pragma once

class QAbstractSocket;

namespace velto::serial {

// TCP keep-alive probes after a few seconds of silence, and a bound on unacknowledged data, so a
// server that vanished without closing (power cut, cable pulled) is noticed in seconds as a lost
// line instead of after the system's two hours. Call once the socket is connected.
void keepConnectionAlive(QAbstractSocket& socket);

// Seconds until a silent, dead peer is given up: idle + probes x interval.
constexpr int kKeepAliveIdleS = 5;
constexpr int kKeepAliveIntervalS = 2;
constexpr int kKeepAliveProbes = 3;
// Milliseconds that sent data may stay unacknowledged before the connection is dropped.
constexpr int kUnacknowledgedLimitMs = 15000;

} // namespace velto::serial
