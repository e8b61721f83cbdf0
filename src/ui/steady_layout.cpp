#include "ui/steady_layout.h"

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

namespace velto::ui {

void keepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

void reserveWidthFor(QWidget* label, const QStringList& texts)
{
    QFont bold = label->font();
    bold.setBold(true);
    const QFontMetrics normalMetrics(label->font());
    const QFontMetrics boldMetrics(bold);
    int widest = 0;
    for (const QString& text : texts)
        widest = std::max(
            { widest, normalMetrics.horizontalAdvance(text), boldMetrics.horizontalAdvance(text) });
    const QMargins margins = label->contentsMargins();
    int indent = 0;
    if (const auto* l = qobject_cast<const QLabel*>(label))
        indent = 2 * std::max(l->margin(), 0);
    label->setMinimumWidth(widest + margins.left() + margins.right() + indent);
}

} // namespace velto::ui
