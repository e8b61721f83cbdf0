#pragma once

#include "traffic/traffic_row.h"

#include <QString>

namespace velto::traffic {

// The text of rows as "Save..." writes them and --trace prints them: one line per row, the fields
// separated by tabs (a spreadsheet opens it as it is), no tab or line break inside a field.
QString rowHeader();
QString formatRow(const TrafficRow& row);

// The columns one by one, as the window shows them.
QString wallClockText(qint64 msSinceEpoch); // local time, "2024-05-01 14:03:07.125"
QString sinceConnectText(qint64 ms); // seconds with milliseconds, "12.345"
QString hexText(const QByteArray& bytes); // "01 03 00 00"
QString asciiText(const QByteArray& bytes); // printable ASCII as is, anything else '.'

} // namespace velto::traffic
