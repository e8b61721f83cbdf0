#include "ui/traffic_filter_model.h"

#include "ui/traffic_table_model.h"

namespace velto::ui {

TrafficFilterModel::TrafficFilterModel(TrafficTableModel& rows, QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_rows(rows)
{
    setSourceModel(&rows);
}

void TrafficFilterModel::setFilter(const traffic::RowFilter& filter)
{
    m_filter = filter;
    invalidateFilter();
}

bool TrafficFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (sourceParent.isValid() || sourceRow >= m_rows.rows().size())
        return false;
    return m_filter.showsEverything() || m_filter.accepts(m_rows.rows().at(sourceRow));
}

qint64 TrafficFilterModel::shownGapMs(int proxyRow) const
{
    const int source = mapToSource(index(proxyRow, 0)).row();
    const traffic::TrafficRow& row = m_rows.rows().at(source);
    if (m_filter.showsEverything())
        return row.gapMs;
    // The first row shown has none shown above it.
    if (proxyRow == 0)
        return 0;
    const int above = mapToSource(index(proxyRow - 1, 0)).row();
    // Wall-clock times differ as the monotonic times they were made from.
    return row.wallClockMs - m_rows.rows().at(above).wallClockMs;
}

traffic::TrafficRow TrafficFilterModel::shownRow(int proxyRow) const
{
    traffic::TrafficRow row = m_rows.rows().at(mapToSource(index(proxyRow, 0)).row());
    row.gapMs = shownGapMs(proxyRow);
    return row;
}

QVariant TrafficFilterModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::DisplayRole && index.isValid() && index.column() == TrafficTableModel::Gap
        && index.row() < rowCount())
        return shownGapMs(index.row());
    return QSortFilterProxyModel::data(index, role);
}

} // namespace velto::ui
