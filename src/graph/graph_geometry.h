#pragma once

#include "common/box_update.h"
#include "graph/graph_mark.h"
#include "radar/graph_request.h"

#include <QSizeF>

#include <optional>

namespace velto::graph {

enum class GraphView { Spectrum, TimeDomain, Combined };

// The spectrum's scale runs from 0 to this many dB; bins at or above it stay at the height before.
inline constexpr int kSpectrumTop = 150;

GraphView viewOf(const radar::GraphRequest& request);
// Horizontal divisions: 15 (10 dB each), 16, or 10 in the combined view; always 10 vertical ones.
int gridRows(GraphView view);
int gridColumns(GraphView view);

// The base axis along the bottom edge, then the grid, for a picture of `size` (height as an integer).
GraphMarks backgroundMarks(GraphView view, QSizeF size);

// One series on top of the grid: per point a line to the next value (none after the last point) and
// a dot. Time-domain samples that are all equal give no series. Drawing stops where a position no
// longer fits a 16-bit coordinate, leaving what was drawn.
GraphMarks seriesMarks(const radar::GraphRequest& request, QSizeF size);

// The whole picture of what the window holds: the grid of the last result's view, then every series
// (the combined view holds the spectrum and the time domain of one run).
GraphMarks pictureMarks(const QList<radar::GraphRequest>& held, QSizeF size);

// Captions, texts and visibility of the window's labels and boxes for what it holds.
QList<BoxUpdate> labelUpdates(const QList<radar::GraphRequest>& held);

// Where an axis label sits: its fraction of the height from the bottom edge; nullopt for others.
std::optional<double> labelLevel(const QString& objectName);

// The index of the point of `request` nearest to x (picture units), or -1 when it has none.
int pointIndexAt(const radar::GraphRequest& request, double x, double width);

} // namespace velto::graph
