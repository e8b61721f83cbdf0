#include "ui/eliding_line_edit.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace velto::ui {

namespace {
// QLineEdit's own inner margins around its text.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;
} // namespace

ElidingLineEdit::ElidingLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        setToolTip(text);
        update();
    });
}

QRect ElidingLineEdit::textArea() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    return contents.marginsRemoved(textMargins())
        .adjusted(kHorizontalMargin, kVerticalMargin, -kHorizontalMargin, -kVerticalMargin);
}

QString ElidingLineEdit::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, textArea().width());
}

void ElidingLineEdit::reserveRoomFor(const QStringList& samples)
{
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics normalMetrics(font());
    const QFontMetrics boldMetrics(bold);
    int widest = 0;
    for (const QString& sample : samples)
        widest = std::max(
            { widest, normalMetrics.horizontalAdvance(sample), boldMetrics.horizontalAdvance(sample) });
    // Frame and margins take the same room at any width.
    const int around = width() - textArea().width();
    setMinimumWidth(widest + around);
}

void ElidingLineEdit::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    if (hasFocus() || shown == text()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(textArea(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

} // namespace velto::ui
