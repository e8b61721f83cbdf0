#pragma once

#include "sim/replay_script.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <optional>
#include <vector>

namespace velto::sim {

// The far end of a recorded session: cuts what the program writes into requests and gives each
// the answer recorded for the same bytes. The n-th time a request comes it gets the n-th answer
// recorded for it; after the last, the first again.
//
// A request is told by its bytes, not by how the system hands them over: bytes that begin a
// recorded request wait for the rest; bytes that are no recorded request end where their protocol
// says (FrameSplitter) or where the line goes quiet, and come out as unknown. A recorded request
// that is the start of a longer one waits for the line to go quiet before it counts.
class ReplayResponder {
public:
    // Beyond this, bytes that make no request are given up as unknown without waiting for quiet.
    static constexpr qsizetype kMaxPending = 4096;

    explicit ReplayResponder(const ReplayScript& script);

    struct Outcome {
        QByteArray request;
        // Empty when the session never saw the request; otherwise its answer (maybe no bytes at all).
        std::optional<QList<ReplayChunk>> answer;
    };
    QList<Outcome> feed(QByteArrayView bytes);
    // The line has been quiet: whatever waits is taken as it is.
    QList<Outcome> lineQuiet();
    bool hasPending() const { return !m_pending.isEmpty(); }

private:
    struct Answers {
        QList<QList<ReplayChunk>> answers;
        qsizetype next = 0;
    };

    QList<Outcome> take(bool quiet);
    Outcome answer(const QByteArray& request);
    // Length of the longest recorded request the bytes begin with; 0 for none.
    qsizetype recordedAt(QByteArrayView bytes) const;
    // The bytes are the start of a longer recorded request.
    bool beginsRecorded(QByteArrayView bytes) const;

    QHash<QByteArray, Answers> m_answers;
    std::vector<QByteArray> m_sorted; // the requests in byte order
    QList<qsizetype> m_lengths; // their lengths, longest first, each once
    QByteArray m_pending;
};

} // namespace velto::sim
