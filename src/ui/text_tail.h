#pragma once

#include <QString>

class QPlainTextEdit;

namespace velto::ui {

// Whether a text view keeps its newest text in sight as more comes in at its end.
enum class TailFollow {
    Always,
    UnlessScrolledUp, // the user scrolled up to read something: the view stays where it is
};

// Empties view first when clearFirst is set, then appends text at its end (no line break added).
void appendAtTail(QPlainTextEdit& view, bool clearFirst, const QString& text, TailFollow follow);

} // namespace velto::ui
