#pragma once

#include "traffic/traffic_row.h"

#include <QString>

#include <optional>

namespace velto::traffic {

// The slave a row talks to or answers for: a Modbus RTU frame's address byte, a Velto request's
// address. Nothing for rows that name none.
std::optional<int> rowSlave(const TrafficRow& row);

// What the monitor's find box looks for.
struct RowFind {
    enum class Mode { Text, Slave };

    Mode mode = Mode::Text;
    QString text; // Text: in the summary, the hex or the ASCII, case ignored
    int slave = -1; // Slave: as rowSlave gives it

    // Nothing when there is nothing to look for: no text, or a slave that is no number.
    static std::optional<RowFind> fromTyped(Mode mode, const QString& typed);
    bool matches(const TrafficRow& row) const;
};

} // namespace velto::traffic
