#pragma once

#include "traffic/traffic_row.h"

#include <optional>

namespace velto::traffic {

// Which rows a monitor shows: by direction and by protocol.
struct RowFilter {
    enum class Directions {
        All, // both directions, failures and line events
        Tx,
        Rx,
        Failures,
    };

    Directions directions = Directions::All;
    std::optional<Protocol> protocol; // empty: every protocol

    bool accepts(const TrafficRow& row) const;
    bool showsEverything() const { return directions == Directions::All && !protocol; }
};

} // namespace velto::traffic
