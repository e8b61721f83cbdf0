#include "sim/session_script.h"

#include "serial/own_echo.h"
#include "traffic/session_reader.h"

#include <algorithm>

namespace velto::sim {

using traffic::Direction;
using traffic::Protocol;
using traffic::TrafficRow;

namespace {

// The echo as a chunk of its own at once, the rest of the answer as recorded.
void separateEcho(ReplayExchange& exchange)
{
    QByteArray echo = exchange.request;
    QList<ReplayChunk> answer { { 0, echo } };
    qsizetype skip = echo.size();
    for (const ReplayChunk& chunk : std::as_const(exchange.answer)) {
        const qsizetype taken = std::min(skip, chunk.bytes.size());
        skip -= taken;
        if (taken < chunk.bytes.size())
            answer.append({ chunk.atMs, chunk.bytes.sliced(taken) });
    }
    exchange.answer = answer;
}

} // namespace

ReplayScript replayScript(const QList<TrafficRow>& rows)
{
    ReplayScript script;
    qint64 requestMs = 0;
    qint64 streamStartMs = 0;
    for (const TrafficRow& row : rows) {
        if (row.bytes.isEmpty())
            continue;
        if (row.direction == Direction::Tx) {
            script.exchanges.append({ row.bytes, {} });
            requestMs = row.wallClockMs;
            continue;
        }
        if (row.direction != Direction::Rx)
            continue;
        if (row.protocol == Protocol::Debug) {
            if (script.stream.isEmpty())
                streamStartMs = row.wallClockMs;
            script.stream.append({ std::max<qint64>(0, row.wallClockMs - streamStartMs), row.bytes });
            continue;
        }
        // Stray bytes before the first request answer nothing the replay could be asked.
        if (!script.exchanges.isEmpty())
            script.exchanges.last().answer.append(
                { std::max<qint64>(0, row.wallClockMs - requestMs), row.bytes });
    }
    // Rounds of the stream join at a line end: a last line the recording cut off would run into the
    // first line of the next round.
    const auto lastLine = std::find_if(script.stream.crbegin(), script.stream.crend(),
        [](const ReplayChunk& chunk) { return chunk.bytes.endsWith('\n'); });
    if (lastLine != script.stream.crend())
        script.stream.resize(script.stream.crend() - lastLine);
    for (ReplayExchange& exchange : script.exchanges) {
        QByteArray answer;
        for (const ReplayChunk& chunk : std::as_const(exchange.answer)) {
            answer += chunk.bytes;
            if (answer.size() >= exchange.request.size())
                break;
        }
        if (serial::startsWithOwnFrame(answer, exchange.request)) {
            separateEcho(exchange);
            script.echoed = true;
        }
    }
    return script;
}

std::optional<ReplayScript> replayScriptFromFile(
    const QString& path, QString& error, traffic::SessionHeader* header)
{
    const traffic::SessionRead read = traffic::readSessionFile(path);
    if (!read.session) {
        error = read.message();
        return std::nullopt;
    }
    ReplayScript script = replayScript(read.session->rows);
    if (script.exchanges.isEmpty() && script.stream.isEmpty()) {
        error = QStringLiteral("it holds no request and no debug output");
        return std::nullopt;
    }
    if (header)
        *header = read.session->header;
    return script;
}

} // namespace velto::sim
