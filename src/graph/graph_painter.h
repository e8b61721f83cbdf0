#pragma once

#include "graph/graph_mark.h"

#include <QImage>

class QPainter;

namespace velto::graph {

inline const QColor kPictureBackground = Qt::black;

// Paints the marks in order, each with its own width and colour (dots round, lines square-ended).
void paintMarks(QPainter& painter, const GraphMarks& marks);

// The picture of `marks` on its background, as a PNG would hold it.
QImage renderMarks(const GraphMarks& marks, QSize size);

} // namespace velto::graph
