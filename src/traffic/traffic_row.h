#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

namespace velto::traffic {

enum class Direction { Tx, Rx, Event };

// Which protocol a row belongs to; Unknown for bytes that fit none and follow no request; State for
// the monitor's and the lines' own events (recording, connection, a port opened or closed).
enum class Protocol { Unknown, ModbusRtu, VeltoAscii, Radar, Flash, Calibration, Debug, State };

// The protocols a line carries (State is none).
inline constexpr int kProtocolCount = int(Protocol::Debug) + 1;

// One frame or chunk on a line, or a failure there (time-out, no answer, bad checksum, line lost).
// Times are in milliseconds; the wall clock is milliseconds since the epoch, local time when shown.
struct TrafficRow {
    qint64 wallClockMs = 0;
    qint64 sinceConnectMs = 0;
    qint64 gapMs = 0; // since the previous row recorded, whatever its line
    Direction direction = Direction::Event;
    Protocol protocol = Protocol::Unknown;
    bool failure = false;
    QByteArray bytes;
    QString summary; // decoded meaning, or the failure's text
};

QString directionName(Direction direction);
QString protocolName(Protocol protocol);

} // namespace velto::traffic

Q_DECLARE_METATYPE(velto::traffic::TrafficRow)
