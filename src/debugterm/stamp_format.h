#pragma once

#include <QString>

namespace velto::debugterm {

// Seconds since the terminal opened as the screen and the capture file show them: "#####.00", so
// whole seconds carry no leading zero (".07", "12.50") and hundredths are rounded half up.
QString formatStamp(qint64 elapsedMs);

} // namespace velto::debugterm
