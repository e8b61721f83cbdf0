#pragma once

#include "traffic/traffic_row.h"

#include <QString>

namespace velto::serial {
class TappedByteLink;
}

namespace velto::cli {

// --record FILE, which every command that opens a line takes (see LineOptions): the line's rows,
// as the traffic monitor records them, written to a session file (traffic/session_reader.h) while
// the command runs, for `velto-cli sim --replay`.

// Starts the file, its header naming the line; false, with the reason printed, when it cannot be
// made. Recording goes on for the rest of the run.
bool startRecording(const QString& path, const QString& port, const QString& settings);
// A line whose rows go into the file; nothing happens unless recording.
void recordLine(serial::TappedByteLink& link, traffic::Protocol only = traffic::Protocol::Unknown);
// Ends the file with its End line once the command is over (interrupted ones too); false, with the
// reason printed, when it could not be written whole. True when nothing was recorded.
bool finishRecording();

} // namespace velto::cli
