#pragma once

#include <QString>

namespace velto::cli {

// `velto-cli sim --replay FILE`: serves the recorded session on a pseudo-terminal whose path is the
// first line printed, until interrupted. A file that is no complete session is refused with its
// line and nothing is served. Returns the exit code.
int serveReplay(const QString& path, double speed);

} // namespace velto::cli
