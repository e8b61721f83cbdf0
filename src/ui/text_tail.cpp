#include "ui/text_tail.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace velto::ui {

void appendAtTail(QPlainTextEdit& view, bool clearFirst, const QString& text, TailFollow follow)
{
    if (clearFirst)
        view.clear();
    if (text.isEmpty())
        return;
    QScrollBar* bar = view.verticalScrollBar();
    const bool following = follow == TailFollow::Always || bar->value() == bar->maximum();
    QTextCursor end(view.document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    if (following)
        bar->setValue(bar->maximum());
}

} // namespace velto::ui
