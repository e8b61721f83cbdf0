#include "ui/qt_prompter.h"

#include "common/file_suffix.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QStyle>

namespace velto::ui {

namespace {
QMessageBox::Icon toQt(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString titleOrAppName(const QString& title)
{
    return title.isEmpty() ? QApplication::applicationName() : title;
}

// Room beside the title for the frame's icon and its buttons.
constexpr int kTitleBarButtons = 4;

// A box is as wide as its text: a short text ("Invalid Value") under the program's name would clip
// the name in the title bar. The box is made at least as wide as the title needs.
void keepTitleWhole(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int width = metrics.horizontalAdvance(box.windowTitle())
        + kTitleBarButtons * box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0,
        1, grid->columnCount());
}

enum class FileDialogKind { Open, OpenOrNew, Save };

QString askFileName(QWidget* owner, FileDialogKind kind, const QString& title, const QString& filter,
    const QString& selectedFilter, const QString& dir)
{
    QFileDialog dialog(owner, title, dir, filter);
    dialog.setAcceptMode(kind == FileDialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(kind == FileDialogKind::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The dialog keeps its filters with their blanks tidied; the entry to preselect is found the
    // same way, or the first entry would stay selected.
    for (const QString& entry : dialog.nameFilters()) {
        if (entry.simplified() == selectedFilter.simplified())
            dialog.selectNameFilter(entry);
    }
    // The dialog adds it before it asks about replacing a file, so it asks about the right one.
    if (kind == FileDialogKind::Save)
        dialog.setDefaultSuffix(filterSuffix(selectedFilter.isEmpty() ? filter : selectedFilter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

QWidget* QtPrompter::owner() const
{
    // The window the user is looking at, so a box never hides behind it; the main window otherwise
    // (a tool window may have hidden it).
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return m_parent;
}

QtPrompter::QtPrompter(QWidget* parent)
    : m_parent(parent)
{
}

void QtPrompter::message(const QString& text, const QString& title, Icon icon)
{
    // A timer that keeps failing (a log file deleted, a port gone) repeats its message each tick;
    // one box on screen says it, a pile of identical boxes would bury the window.
    const QString key = title + QChar(0x1f) + text;
    if (m_open->contains(key))
        return;
    auto* box = new QMessageBox(toQt(icon), titleOrAppName(title), text, QMessageBox::Ok, owner());
    keepTitleWhole(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("PrompterMessage"));
    m_open->insert(key);
    QObject::connect(box, &QObject::destroyed, [open = std::weak_ptr(m_open), key] {
        if (const auto set = open.lock())
            set->remove(key);
    });
    box->open();
}

bool QtPrompter::askYesNo(const QString& text, const QString& title)
{
    QMessageBox box(
        QMessageBox::Question, titleOrAppName(title), text, QMessageBox::Yes | QMessageBox::No, owner());
    keepTitleWhole(box);
    return box.exec() == QMessageBox::Yes;
}

bool QtPrompter::askYesNoDefaultNo(const QString& text, const QString& title, Icon icon)
{
    QMessageBox box(toQt(icon), titleOrAppName(title), text, QMessageBox::Yes | QMessageBox::No, owner());
    keepTitleWhole(box);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtPrompter::openFileName(
    const QString& title, const QString& filter, const QString& selectedFilter, const QString& dir)
{
    return askFileName(owner(), FileDialogKind::Open, title, filter, selectedFilter, dir);
}

QString QtPrompter::saveFileName(
    const QString& title, const QString& filter, const QString& selectedFilter, const QString& dir)
{
    return askFileName(owner(), FileDialogKind::Save, title, filter, selectedFilter, dir);
}

QString QtPrompter::openOrNewFileName(
    const QString& title, const QString& filter, const QString& selectedFilter, const QString& dir)
{
    return askFileName(owner(), FileDialogKind::OpenOrNew, title, filter, selectedFilter, dir);
}

std::optional<QFont> QtPrompter::chooseFont(const QFont& initial)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, owner());
    return ok ? std::optional<QFont>(font) : std::nullopt;
}

std::optional<QColor> QtPrompter::chooseColor(const QColor& initial)
{
    const QColor color = QColorDialog::getColor(initial, owner());
    return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
}

} // namespace velto::ui
