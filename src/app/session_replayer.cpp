#include "app/session_replayer.h"

#include "sim/replay_line.h"
#include "sim/session_script.h"
#include "traffic/frame_labels.h"

#include <cstdio>

namespace velto::app {

SessionReplayer::SessionReplayer() = default;
SessionReplayer::~SessionReplayer() = default;

QString SessionReplayer::start(const QString& sessionFile, QString& error)
{
    const std::optional<sim::ReplayScript> script = sim::replayScriptFromFile(sessionFile, error);
    if (!script)
        return {};
    auto line = std::make_unique<sim::ReplayLine>(*script, 1.0);
    if (!line->isValid()) {
        error = line->errorText();
        return {};
    }
    QObject::connect(line.get(), &sim::ReplayLine::unknownRequest, [](const QByteArray& request) {
        std::fprintf(stderr, "velto-pc: not in the replayed session, not answered: %s\n",
            qPrintable(traffic::describeRequest(request)));
    });
    m_line = std::move(line);
    return m_line->devicePath();
}

} // namespace velto::app
