#pragma once

#include <QStringList>

class QWidget;

namespace velto::ui {

// Nothing on a window may move when a mark blinks or a text changes. Two calls get there:
//
//   keepPlaceWhenHidden(mark);                        // a widget that comes and goes keeps its space
//   reserveWidthFor(label, { "open", "close" });      // a label keeps the width of its widest text
//
// Call them once, after the window's form is set up.

void keepPlaceWhenHidden(QWidget* widget);

// The widest of `texts` in the label's font, bold or not, becomes its minimum width.
void reserveWidthFor(QWidget* label, const QStringList& texts);

} // namespace velto::ui
