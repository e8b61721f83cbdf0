#include "sim/replay_responder.h"

#include "sim/frame_splitter.h"

#include <algorithm>

namespace velto::sim {

ReplayResponder::ReplayResponder(const ReplayScript& script)
{
    for (const ReplayExchange& exchange : script.exchanges) {
        if (exchange.request.isEmpty())
            continue;
        Answers& answers = m_answers[exchange.request];
        if (answers.answers.isEmpty()) {
            m_sorted.push_back(exchange.request);
            if (!m_lengths.contains(exchange.request.size()))
                m_lengths.append(exchange.request.size());
        }
        answers.answers.append(exchange.answer);
    }
    std::sort(m_sorted.begin(), m_sorted.end());
    std::sort(m_lengths.begin(), m_lengths.end(), std::greater<>());
}

QList<ReplayResponder::Outcome> ReplayResponder::feed(QByteArrayView bytes)
{
    m_pending.append(bytes.data(), bytes.size());
    return take(false);
}

QList<ReplayResponder::Outcome> ReplayResponder::lineQuiet()
{
    return take(true);
}

QList<ReplayResponder::Outcome> ReplayResponder::take(bool quiet)
{
    QList<Outcome> out;
    while (!m_pending.isEmpty()) {
        if (!quiet && beginsRecorded(m_pending))
            break;
        if (const qsizetype length = recordedAt(m_pending); length > 0) {
            out.append(answer(m_pending.first(length)));
            m_pending.remove(0, length);
            continue;
        }
        // Not recorded: as long as its own protocol makes it; else, once the line is quiet, up to
        // where a recorded one begins.
        qsizetype length = 0;
        const FrameSplitter::Scan scan = FrameSplitter::scan(m_pending);
        if (scan.status == FrameSplitter::Status::Complete) {
            length = scan.length;
        } else {
            if (!quiet && m_pending.size() < kMaxPending)
                break;
            length = m_pending.size();
            for (qsizetype at = 1; at < m_pending.size(); ++at) {
                if (recordedAt(QByteArrayView(m_pending).sliced(at)) > 0) {
                    length = at;
                    break;
                }
            }
        }
        out.append({ m_pending.first(length), std::nullopt });
        m_pending.remove(0, length);
    }
    return out;
}

ReplayResponder::Outcome ReplayResponder::answer(const QByteArray& request)
{
    Answers& answers = m_answers[request];
    const QList<ReplayChunk> chunks = answers.answers.at(answers.next);
    answers.next = (answers.next + 1) % answers.answers.size();
    return { request, chunks };
}

qsizetype ReplayResponder::recordedAt(QByteArrayView bytes) const
{
    for (qsizetype length : m_lengths) {
        if (length <= bytes.size() && m_answers.contains(QByteArray::fromRawData(bytes.data(), length)))
            return length;
    }
    return 0;
}

bool ReplayResponder::beginsRecorded(QByteArrayView bytes) const
{
    const QByteArray key = bytes.toByteArray();
    const auto after = std::upper_bound(m_sorted.begin(), m_sorted.end(), key);
    return after != m_sorted.end() && after->startsWith(key);
}

} // namespace velto::sim
