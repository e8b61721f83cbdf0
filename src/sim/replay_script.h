#pragma once

#include <QByteArray>
#include <QList>

namespace velto::sim {

// Bytes the far end sends atMs after what they follow: the request they answer, or the start of
// the stream.
struct ReplayChunk {
    qint64 atMs = 0;
    QByteArray bytes;
};

// One request as the program wrote it and what the line brought back before the next one (maybe
// nothing), in the chunks and at the times recorded.
struct ReplayExchange {
    QByteArray request;
    QList<ReplayChunk> answer;
};

// What a recorded session plays back as the far end of a line.
struct ReplayScript {
    QList<ReplayExchange> exchanges; // in recorded order
    QList<ReplayChunk> stream; // the debug output, which follows no request, timed from its first chunk
    // Some answer began with its own request: the recorded line echoed what the program sent.
    bool echoed = false;
};

} // namespace velto::sim
