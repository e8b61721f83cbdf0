#include "ui/screen_fit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace velto::ui {

namespace {

// Room kept for the window manager's frame before a window has been shown and its real frame is
// known: a title bar and thin borders.
constexpr QMargins kFrameAllowance(4, 30, 4, 4);
// How far into the title bar a point must lie on the screen for the window to count as reachable.
constexpr int kTitleGrip = 10;

QMargins frameMargins(const QWidget* window)
{
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    if (const QWindow* handle = window->windowHandle()) {
        const QMargins real = handle->frameMargins();
        if (!real.isNull())
            return real;
    }
    return kFrameAllowance;
}

QSize roomFor(const QWidget* window, const QRect& area)
{
    const QMargins frame = frameMargins(window);
    return area.size().shrunkBy(frame).expandedTo(QSize(1, 1));
}

// Moves `frame` into `area` as far as it fits; the top-left corner (title bar) wins.
QPoint clampedInto(const QRect& frame, const QRect& area)
{
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    return { x, y };
}

bool liesOnScreen(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    return availableArea(window).contains(QPoint(frame.center().x(), frame.top() + kTitleGrip));
}

// Nested layouts answer size hints from caches that only their activation renews; panels shown
// or hidden before the first showing would otherwise be measured as they were. Inner widgets first,
// so each outer layout sees its children's new sizes.
void settleLayouts(QWidget* root)
{
    const QList<QWidget*> widgets = root->findChildren<QWidget*>();
    for (auto it = widgets.crbegin(); it != widgets.crend(); ++it) {
        if (QLayout* layout = (*it)->layout())
            layout->activate();
        // A scroll area's size hint follows its panel, which no layout links it to.
        if (qobject_cast<QScrollArea*>(*it))
            (*it)->updateGeometry();
    }
    if (QLayout* layout = root->layout()) {
        layout->invalidate();
        layout->activate();
    }
}

const QWidget* defaultOver(const QWidget* window)
{
    return window->parentWidget() ? window->parentWidget()->window() : nullptr;
}

// Places its window at the first showing, and again when it comes back off the screen.
class ScreenFitter : public QObject {
public:
    ScreenFitter(QWidget* window, const QWidget* over)
        : QObject(window)
        , m_window(window)
        , m_over(over)
        , m_fixedOver(over != nullptr)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Show && !event->spontaneous()
            && (!m_placed || !liesOnScreen(m_window))) {
            fitToScreen(m_window, m_fixedOver ? m_over.data() : defaultOver(m_window));
            m_placed = true;
        }
        return false;
    }

private:
    QWidget* m_window;
    QPointer<const QWidget> m_over;
    bool m_fixedOver;
    bool m_placed = false;
};

// A scroll area that asks for its panel's whole size, so layouts and windows grow with the panel
// as far as the screen allows; when the panel grows while shown, its window grows along.
class FittingScrollArea : public QScrollArea {
public:
    explicit FittingScrollArea(QWidget* parent)
        : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
    }

    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        const QSize panel = widget() ? widget()->sizeHint() : QSize();
        return panel.expandedTo(QSize(0, 0)) + QSize(frame, frame);
    }

    void watch(QWidget* panel) { panel->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget() && event->type() == QEvent::LayoutRequest && !m_growPending) {
            m_growPending = true;
            QMetaObject::invokeMethod(
                this, [this] { growWindow(); }, Qt::QueuedConnection);
        }
        return QScrollArea::eventFilter(watched, event);
    }

private:
    // Runs once the panel has laid itself out anew.
    void growWindow()
    {
        m_growPending = false;
        updateGeometry();
        QWidget* win = window();
        if (!win->isVisible() || win->isMaximized() || win->isFullScreen())
            return;
        // What the panel lacks, added to the window; the window's own size hint may lag behind.
        const QSize lacking = (sizeHint() - size()).expandedTo(QSize(0, 0));
        const QRect area = availableArea(win);
        const QSize target = (win->size() + lacking).boundedTo(roomFor(win, area)).expandedTo(win->size());
        if (target == win->size())
            return;
        // Grown about its centre, so a centred window stays centred, and kept on the screen.
        QRect frame = win->frameGeometry();
        const QPoint centre = frame.center();
        frame.setSize(target.grownBy(frameMargins(win)));
        frame.moveCenter(centre);
        win->resize(target);
        win->move(clampedInto(frame, area));
    }

    bool m_growPending = false;
};

} // namespace

QRect availableArea(const QWidget* widget)
{
    const QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void fitToScreen(QWidget* window, const QWidget* over)
{
    const QRect area = availableArea(over ? over : window);
    if (area.isEmpty())
        return;
    settleLayouts(window);
    const QSize wanted = window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint();
    const QSize size = wanted.boundedTo(roomFor(window, area)).expandedTo(window->minimumSize());
    window->resize(size);

    // Over a window that has been on screen (it may be hidden behind this one), else mid-screen.
    const bool overPlaced = over && over->testAttribute(Qt::WA_WState_Created) && !over->isMinimized();
    const QPoint centre = overPlaced ? over->frameGeometry().center() : area.center();
    QRect frame = QRect(QPoint(), size).marginsAdded(frameMargins(window));
    frame.moveCenter(centre);
    window->move(clampedInto(frame, area));
}

void fitToScreenOnShow(QWidget* window, const QWidget* over)
{
    if (window)
        new ScreenFitter(window, over);
}

QScrollArea* makeScrollable(QWidget* panel)
{
    QWidget* parent = panel->parentWidget();
    auto* area = new FittingScrollArea(parent);
    area->setObjectName(panel->objectName() + QStringLiteral("Scroll"));
    if (auto* main = qobject_cast<QMainWindow*>(parent); main && main->centralWidget() == panel) {
        main->takeCentralWidget();
        main->setCentralWidget(area);
    } else if (parent && parent->layout()) {
        delete parent->layout()->replaceWidget(panel, area);
    }
    area->setWidget(panel);
    area->watch(panel);
    return area;
}

void compactLayouts(QWidget* root)
{
    QList<QLayout*> layouts = root->findChildren<QLayout*>();
    if (root->layout() && !layouts.contains(root->layout()))
        layouts.prepend(root->layout());
    for (QLayout* layout : layouts) {
        // Margins already tighter (a form set into a frame without any) stay as they are.
        const QMargins m = layout->contentsMargins();
        layout->setContentsMargins(std::min(m.left(), kCompactMargin), std::min(m.top(), kCompactMargin),
            std::min(m.right(), kCompactMargin), std::min(m.bottom(), kCompactMargin));
        layout->setSpacing(kCompactSpacing);
    }
}

} // namespace velto::ui
