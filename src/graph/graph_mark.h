#pragma once

#include <QColor>
#include <QLineF>
#include <QList>

namespace velto::graph {

// One stroke of the picture in its own units: a line, or a dot where both ends meet.
struct GraphMark {
    QLineF line;
    int width = 1;
    QColor colour;

    bool isDot() const { return line.p1() == line.p2(); }
    bool operator==(const GraphMark&) const = default;
};

using GraphMarks = QList<GraphMark>;

inline const QColor kAxisColour = QColor(50, 150, 242);
inline const QColor kGridColour = QColor(255, 255, 255);
inline const QColor kSeriesLineColour = QColor(200, 50, 22);
inline const QColor kCombinedSpectrumLineColour = QColor(40, 78, 140);
inline const QColor kDotColour = QColor(100, 50, 155);
inline constexpr int kAxisWidth = 3;
inline constexpr int kLineWidth = 1;
inline constexpr int kDotWidth = 3;

} // namespace velto::graph
