#pragma once

#include "traffic/traffic_row.h"

#include <QList>
#include <QString>

namespace velto::traffic {

// Writes the rows as a text file: the header line, then one line per row (see row_format.h), CR LF
// after each so it opens alike everywhere. The file appears only whole: a failure leaves whatever
// was there before. Returns empty on success, else what went wrong, for people.
QString saveRows(const QString& path, const QList<TrafficRow>& rows);

} // namespace velto::traffic
