#pragma once

#include "traffic/row_filter.h"

#include <QSortFilterProxyModel>

namespace velto::ui {

class TrafficTableModel;

// The rows the monitor's direction and protocol boxes let through.
class TrafficFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TrafficFilterModel(TrafficTableModel& rows, QObject* parent = nullptr);

    void setFilter(const traffic::RowFilter& filter);
    const traffic::RowFilter& filter() const { return m_filter; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    TrafficTableModel& m_rows;
    traffic::RowFilter m_filter;
};

} // namespace velto::ui
