#pragma once

#include <QString>

#include <memory>

namespace velto::sim {
class ReplayLine;
}

namespace velto::app {

// The port list's "Replay a recorded session...": one recorded session at a time served as the far
// end of a pseudo-terminal, at its recorded pace. Requests it never saw are named on stderr.
class SessionReplayer {
public:
    SessionReplayer();
    ~SessionReplayer();

    // Serves the session in the file instead of the one before; the device to open, or empty with
    // the reason in `error` (the faulty line of a damaged file), the one before still served.
    QString start(const QString& sessionFile, QString& error);

private:
    std::unique_ptr<sim::ReplayLine> m_line;
};

} // namespace velto::app
