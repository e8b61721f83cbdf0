#pragma once

#include <QRect>

class QScrollArea;
class QWidget;

namespace velto::ui {

// Every window has to be usable on a 1366x768 screen, resizable, and open centred over its
// parent. Windows get there with these calls, made once in their constructor:
//
//   fitToScreenOnShow(this);      // when opened: preferred size within the screen's free area,
//                                 // centred over the parent window (or `over`), else the screen
//   compactLayouts(this);         // tight margins and spacing, so many boxes fit a laptop screen
//   makeScrollable(m_ui->panel);  // a panel that cannot shrink further scrolls in its place
//                                 // instead of pushing the window past the screen's edge
//
// A window placed once keeps the place the user gives it when shown again; it is placed anew only
// when it comes back lying off the screen.

// The free area (without task bars) of the screen the widget is on.
QRect availableArea(const QWidget* widget);

// Sizes the window to its preferred size within the free area and centres it over `over` (a
// window already shown), or over the free area.
void fitToScreen(QWidget* window, const QWidget* over = nullptr);

// fitToScreen at the window's first showing; `over` defaults to the window's parent window.
void fitToScreenOnShow(QWidget* window, const QWidget* over = nullptr);

// Puts `panel` into a scroll area that takes its place in the parent's layout (or as a main
// window's central widget). The area asks for the panel's full size, so the window still grows
// with the panel up to the screen's size; only what does not fit then scrolls.
QScrollArea* makeScrollable(QWidget* panel);

// Tight margins and spacing for every layout under `root` (including its own).
void compactLayouts(QWidget* root);

inline constexpr int kCompactSpacing = 3;
inline constexpr int kCompactMargin = 4;

} // namespace velto::ui
