#include "ui/box_updates.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace velto::ui {

void applyBoxUpdates(QWidget& root, const QList<BoxUpdate>& updates)
{
    for (const BoxUpdate& u : updates) {
        auto* box = root.findChild<QWidget*>(u.objectName);
        if (!box)
            continue;
        if (u.bold) {
            QFont font = box->font();
            font.setBold(*u.bold);
            box->setFont(font);
        }
        if (u.color) {
            const QColor color = u.color->isValid() ? *u.color : QPalette().color(QPalette::ButtonText);
            QPalette pal = box->palette();
            pal.setColor(QPalette::Text, color);
            pal.setColor(QPalette::WindowText, color);
            box->setPalette(pal);
        }
        if (u.text) {
            if (auto* edit = qobject_cast<QLineEdit*>(box))
                edit->setText(*u.text);
            else if (auto* label = qobject_cast<QLabel*>(box))
                label->setText(*u.text);
            else if (auto* log = qobject_cast<QPlainTextEdit*>(box))
                log->setPlainText(*u.text);
            else if (auto* button = qobject_cast<QAbstractButton*>(box))
                button->setText(*u.text);
        }
        if (u.visible)
            box->setVisible(*u.visible);
        // Windows lay their panels out themselves: a width is a lower bound, a position is left to
        // the layout.
        if (u.width)
            box->setMinimumWidth(*u.width);
    }
}

} // namespace velto::ui
