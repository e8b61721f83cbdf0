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

} // namespace velto::ui
