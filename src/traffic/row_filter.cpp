#include "traffic/row_filter.h"

namespace velto::traffic {

bool RowFilter::accepts(const TrafficRow& row) const
{
    if (protocol && row.protocol != *protocol)
        return false;
    switch (directions) {
    case Directions::All:
        return true;
    case Directions::Tx:
        return row.direction == Direction::Tx;
    case Directions::Rx:
        return row.direction == Direction::Rx;
    case Directions::Failures:
        return row.failure;
    }
    return true;
}

} // namespace velto::traffic
