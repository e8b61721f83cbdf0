#pragma once

#include "traffic/row_filter.h"
#include "traffic/traffic_row.h"

#include <QSortFilterProxyModel>

namespace velto::ui {

class TrafficTableModel;

// The rows the monitor's direction and protocol boxes let through. While they hide rows, the Gap
// column measures from the row shown above, not from a row nobody sees.
class TrafficFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TrafficFilterModel(TrafficTableModel& rows, QObject* parent = nullptr);

    void setFilter(const traffic::RowFilter& filter);
    const traffic::RowFilter& filter() const { return m_filter; }

    // The row shown at proxyRow, its gap as the view shows it (for Copy and Save).
    traffic::TrafficRow shownRow(int proxyRow) const;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    qint64 shownGapMs(int proxyRow) const;

    TrafficTableModel& m_rows;
    traffic::RowFilter m_filter;
};

} // namespace velto::ui
