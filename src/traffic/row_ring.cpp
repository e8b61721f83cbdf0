#include "traffic/row_ring.h"

#include <algorithm>

namespace velto::traffic {

RowRing::RowRing(qsizetype capacity)
    : m_capacity(std::max<qsizetype>(1, capacity))
{
}

const TrafficRow& RowRing::at(qsizetype index) const
{
    Q_ASSERT(index >= 0 && index < m_size);
    return m_rows[size_t((m_head + index) % m_capacity)];
}

qsizetype RowRing::dropsFor(qsizetype n) const
{
    return std::clamp<qsizetype>(m_size + n - m_capacity, 0, m_size + n);
}

void RowRing::append(TrafficRow row)
{
    if (m_size == m_capacity)
        dropOldest(1);
    const qsizetype slot = (m_head + m_size) % m_capacity;
    // The storage grows only as rows come, so a quiet monitor costs little.
    if (slot == qsizetype(m_rows.size()))
        m_rows.push_back(std::move(row));
    else
        m_rows[size_t(slot)] = std::move(row);
    ++m_size;
}

void RowRing::dropOldest(qsizetype n)
{
    n = std::clamp<qsizetype>(n, 0, m_size);
    for (qsizetype i = 0; i < n; ++i)
        m_rows[size_t((m_head + i) % m_capacity)] = {}; // frees the bytes now, not when overwritten
    m_head = (m_head + n) % m_capacity;
    m_size -= n;
    m_dropped += n;
}

void RowRing::clear()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_head = 0;
    m_size = 0;
    m_dropped = 0;
}

} // namespace velto::traffic
