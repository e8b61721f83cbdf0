#pragma once

#include "traffic/row_ring.h"

#include <QAbstractTableModel>

#include <deque>

namespace velto::ui {

// The traffic monitor's rows for a QTableView: the bounded ring of rows, filled in batches. Rows
// come in through append() at any rate and wait; flush() (the window's batch timer) moves them into
// the view with one removal of the oldest and one insertion, never a row at a time. Rows waiting
// are bounded like the ring: while the view is paused the oldest of them go first.
class TrafficTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, SinceConnect, Gap, Dir, Protocol, Length, Hex, Ascii, Summary, ColumnCount };
    // The hex and ASCII cells show a row's first bytes only, then kMoreMark; the tooltip, Copy and
    // Save have them all. Every cell's text is laid out in full when painted, elided or not, so a
    // view of 256-byte rows would spend most of each repaint on characters nobody sees.
    static constexpr qsizetype kShownBytes = 32;
    static constexpr QChar kMoreMark { 0x2026 };

    explicit TrafficTableModel(
        qsizetype capacity = traffic::RowRing::kDefaultCapacity, QObject* parent = nullptr);

    void append(const traffic::TrafficRow& row);
    void flush();
    void clear();

    const traffic::RowRing& rows() const { return m_ring; }
    qsizetype waiting() const { return qsizetype(m_waiting.size()); }
    // Rows dropped from the view and from the waiting rows since the last clear.
    qint64 dropped() const { return m_ring.dropped() + m_waitingDropped; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    traffic::RowRing m_ring;
    std::deque<traffic::TrafficRow> m_waiting;
    qint64 m_waitingDropped = 0;
};

} // namespace velto::ui
