#pragma once

#include "sim/replay_script.h"
#include "traffic/session_header.h"
#include "traffic/traffic_row.h"

#include <QList>
#include <QString>

#include <optional>

namespace velto::sim {

// What the far end of a recorded session plays: each row the program wrote is a request; the rows
// the line brought until the next request are its answer, timed from the request; debug output is
// the stream. Bytes that came before the first request, and events (time-outs, a port opened, a
// write the port refused), answer nothing and play no part.
//
// A line that echoes shows the request again at the start of the rows that follow it: that echo
// leaves at once on replay, as an adapter hears itself at once; the answer keeps its own timing.
ReplayScript replayScript(const QList<traffic::TrafficRow>& rows);

// The script of the session in a file, and its header when asked; empty, with the reason (naming the
// faulty line), when the file is no complete session or holds nothing to play.
std::optional<ReplayScript> replayScriptFromFile(
    const QString& path, QString& error, traffic::SessionHeader* header = nullptr);

} // namespace velto::sim
