#pragma once

#include "radar/graph_request.h"

#include <QImage>
#include <QWidget>

namespace velto::ui {

// FFT_Graph: paints the plot geometry of what the graph window holds, at whatever size the window
// gives it, and tells which point lies under the mouse.
class GraphCanvas : public QWidget {
    Q_OBJECT
public:
    explicit GraphCanvas(QWidget* parent = nullptr);

    void setHeld(const QList<radar::GraphRequest>& held);
    const QList<radar::GraphRequest>& held() const { return m_held; }
    // The plot as the widget shows it now, for saving.
    QImage picture() const;

signals:
    // The point of the top series nearest to the mouse; index -1 when there is none.
    void pointHovered(int index, int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QList<radar::GraphRequest> m_held;
};

} // namespace velto::ui
