#pragma once

#include <QByteArray>

namespace velto::sim {

// Bytes a simulated device sends some time after the request (a late or a split answer).
struct ScheduledReply {
    int delayMs = 0;
    QByteArray bytes;
};

} // namespace velto::sim
