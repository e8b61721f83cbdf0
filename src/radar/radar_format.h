#pragma once

#include <QString>
#include <QtGlobal>

namespace velto::radar {

// Seconds as the radar window's "#####.000" shows them: three decimals, no leading zero below one
// second (".250").
QString formatSecondsField(qint64 ms);
// Seconds in ordinary decimal form, as a stored time prints: "12.5", "0.25", "7".
QString formatSecondsPlain(qint64 ms);
// Metres as "#0.0000": "1.0000", "-0.2500".
QString formatMetres(double metres);
// A distance of the status reply (0.1 mm units) as "#0.0000" metres, exactly.
QString formatTenthsOfMm(qint32 raw);

} // namespace velto::radar
