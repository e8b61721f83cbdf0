#pragma once

#include "traffic/traffic_row.h"

#include <vector>

namespace velto::traffic {

// The rows a monitor keeps: at most capacity(), the oldest dropped first, so memory stays flat
// however long the line runs. Row 0 is the oldest kept.
class RowRing {
public:
    // 50,000 rows: over two hours of a busy Modbus poll, about a minute of a 115200 bit/s stream.
    // With rows of at most kMaxRowBytes bytes that is some 30 MB at the very worst.
    static constexpr qsizetype kDefaultCapacity = 50000;

    explicit RowRing(qsizetype capacity = kDefaultCapacity);

    qsizetype capacity() const { return m_capacity; }
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // Rows dropped to make room since the last clear().
    qint64 dropped() const { return m_dropped; }

    const TrafficRow& at(qsizetype index) const;
    // How many of the oldest rows appending n rows would drop.
    qsizetype dropsFor(qsizetype n) const;
    // Appends; when full, the oldest row goes.
    void append(TrafficRow row);
    // Drops the n oldest rows (all when n is more), counted as dropped.
    void dropOldest(qsizetype n);
    void clear();

private:
    std::vector<TrafficRow> m_rows;
    qsizetype m_capacity;
    qsizetype m_head = 0; // index of the oldest row
    qsizetype m_size = 0;
    qint64 m_dropped = 0;
};

} // namespace velto::traffic
