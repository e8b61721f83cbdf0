// The session reader on any text: it gives a session or a refusal with a line inside the text,
// never both. A session it accepts writes back to the same rows (times aside), becomes a replay script, and
// every request of that script is recognised when the program writes it again.
//
// Input: the file's text as it stands.
#include "traffic/session_reader.h"
#include "sim/replay_responder.h"
#include "sim/session_script.h"
#include "traffic/session_writer.h"

#include <cstdlib>

using namespace velto;
using namespace velto::traffic;

namespace {

// Requests checked against the responder per input, so a long session stays quick.
constexpr qsizetype kRequestsChecked = 8;
constexpr qint64 kSomeTimeMs = 1714564987125; // 2024-05-01

bool sameRows(const QList<TrafficRow>& a, const QList<TrafficRow>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].bytes != b[i].bytes || a[i].direction != b[i].direction || a[i].protocol != b[i].protocol
            || a[i].failure != b[i].failure)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));
    const SessionRead read = parseSession(text);
    if (!read.session) {
        if (read.line < 1 || read.line > text.count('\n') + 2 || read.error.isEmpty())
            std::abort();
        return 0;
    }
    if (read.line != 0 || !read.error.isEmpty())
        std::abort();

    const Session& session = *read.session;
    QByteArray again = sessionHeaderText(session.header);
    for (TrafficRow row : session.rows) {
        // Written in the local time of this machine, which may not reach the years the text named.
        row.wallClockMs = kSomeTimeMs;
        again += sessionRowText(row);
    }
    again += sessionEndText(session.rows.size());
    const SessionRead reread = parseSession(again);
    if (!reread.session || !sameRows(reread.session->rows, session.rows))
        std::abort();

    const sim::ReplayScript script = sim::replayScript(session.rows);
    for (qsizetype i = 0; i < std::min(kRequestsChecked, script.exchanges.size()); ++i) {
        sim::ReplayResponder responder(script);
        QList<sim::ReplayResponder::Outcome> outcomes = responder.feed(script.exchanges[i].request);
        outcomes += responder.lineQuiet();
        if (outcomes.size() != 1 || !outcomes[0].answer || outcomes[0].request != script.exchanges[i].request
            || responder.hasPending())
            std::abort();
    }
    return 0;
}
