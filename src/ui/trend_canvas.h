#pragma once

#include "trend/plot_geometry.h"
#include "trend/trend_store.h"
#include "trend/trend_view.h"

#include <QImage>
#include <QWidget>
#include <optional>

namespace velto::ui {

// TrendGraph: paints the plot geometry of the shown series and turns the mouse into zoom and pan
// (the wheel over the plot zooms time, over a value axis that axis; a left drag zooms to the time it
// spans, a right or middle drag pans, a double click shows everything again) and a crosshair.
class TrendCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TrendCanvas(const trend::TrendStore& store, QWidget* parent = nullptr);

    void setShown(const QList<int>& series);
    const QList<int>& shown() const { return m_shown; }

    const trend::TrendView& view() const { return m_view; }
    void setView(const trend::TrendView& view);
    // Paused on the span shown now, or following with its length.
    void setFollowing(bool on);
    void showEverything();

    // A value range by hand for a unit; empty: scale to the data again.
    void setManualRange(const QString& unit, std::optional<trend::ValueRange> range);
    const QHash<QString, trend::ValueRange>& manualRanges() const { return m_manual; }

    // The data changed: redrawn at the next paint.
    void dataChanged();

    trend::PlotRequest request(QSize size, bool framed) const;
    // The geometry as last painted (brought up to date first).
    const trend::PlotGeometry& geometry();
    // The picture for a file: title and legend included.
    QImage picture(QSize size) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void viewChanged();
    void readoutChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class Drag { None, Band, Pan };

    trend::TimeSpan currentSpan() const;
    void pauseAt(trend::TimeSpan span);
    void invalidate();
    void updateReadout();

    const trend::TrendStore& m_store;
    QList<int> m_shown;
    trend::TrendView m_view;
    QHash<QString, trend::ValueRange> m_manual;
    trend::PlotGeometry m_geometry;
    QImage m_cache;
    bool m_dirty = true;
    std::optional<QPointF> m_hover;
    Drag m_drag = Drag::None;
    double m_dragStartX = 0;
    double m_dragX = 0;
    trend::TimeSpan m_dragSpan;
};

} // namespace velto::ui
