#pragma once

#include "traffic/session_header.h"
#include "traffic/traffic_row.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace velto::traffic {

// A session file: what went over a line, as the traffic monitor's Save... and velto-cli --record
// write it, for people to read and for `velto-cli sim --replay` to serve as the far end.
//
// UTF-8 text, one record per line, fields separated by one tab, lines ending in CR LF (LF alone is
// read too). In this order:
//
//   Velto traffic session<TAB>1                        the format's name and version
//   Program<TAB>velto-cli 0.21                         who recorded it
//   Date<TAB>2024-05-01T14:03:07.125+02:00             when the traffic began (ISO 8601, UTC offset)
//   Port<TAB>/dev/ttyUSB0                              the line (may be empty)
//   Settings<TAB>9600,n,8,1                            its settings (may be empty)
//   Time<TAB>Since connect (s)<TAB>Gap (ms)<TAB>Dir<TAB>Protocol<TAB>Length<TAB>Hex<TAB>ASCII<TAB>Summary
//   one line per row, in the order recorded, the columns as above:
//     Time           local time of the recording machine, "2024-05-01 14:03:07.125"
//     Since connect  seconds with milliseconds, "12.345" (may be negative)
//     Gap            milliseconds since the row before it was recorded
//     Dir            TX (the program wrote it), RX (the line brought it) or -- (an event)
//     Protocol       Modbus RTU, Velto ASCII, Radar, Flash, Calibration, Debug, Unknown, or State
//                    for the monitor's and the lines' own events
//     Length, Hex    the row's bytes: their count, and each as two hex digits, one space between
//     ASCII          the same bytes, printable ones as they are, others as '.'
//     Summary        what they mean; "FAILURE: " first when the row reports a failure
//   End<TAB>42                                         the number of rows: the file is complete
//
// Header lines with other names are skipped, so a later version 1 writer may add some; anything
// else new needs a new version number. A file whose version is newer, whose End line is missing
// (cut short), or which has any line out of place is refused as a whole, with the line that was
// wrong.
struct Session {
    SessionHeader header;
    // Times as recorded: wallClockMs keeps the recording machine's local clock (taken at the header's
    // UTC offset), so the differences between rows are what they were on the line.
    QList<TrafficRow> rows;
};

struct SessionRead {
    std::optional<Session> session;
    int line = 0; // of the fault, from 1; 0 when the file could not be read at all
    QString error;

    // "line 7: ..." for people, or the file's own error.
    QString message() const;
};

inline constexpr int kSessionVersion = 1;
inline constexpr char kSessionMagic[] = "Velto traffic session";
inline constexpr char kSessionEnd[] = "End";

// Reads a whole session from its text; total: any bytes give a session or a refusal.
SessionRead parseSession(QByteArrayView text);
// The same from a file; a file that cannot be opened or read is refused with the system's reason.
SessionRead readSessionFile(const QString& path);

} // namespace velto::traffic
