#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

namespace velto {

// Every message box and dialog goes through this, so logic can warn and windows run headless in
// tests. Messages return at once (the box stays up on its own); questions and file dialogs answer.
class Prompter {
public:
    enum class Icon { None, Information, Warning, Critical, Question };

    virtual ~Prompter() = default;

    virtual void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) = 0;
    virtual bool askYesNo(const QString& text, const QString& title = {}) = 0;
    // A question whose safe answer is No: No is the default button.
    virtual bool askYesNoDefaultNo(const QString& text, const QString& title, Icon icon)
    {
        Q_UNUSED(icon);
        return askYesNo(text, title);
    }

    // Empty result: the user cancelled.
    virtual QString openFileName(const QString& title, const QString& filter,
        const QString& selectedFilter = {}, const QString& dir = {})
        = 0;
    virtual QString saveFileName(const QString& title, const QString& filter,
        const QString& selectedFilter = {}, const QString& dir = {})
        = 0;
    // An open dialog that also takes the name of a file that is not there yet, for a caller that
    // creates it. Without a dialog of its own kind, an implementation offers the open dialog.
    virtual QString openOrNewFileName(const QString& title, const QString& filter,
        const QString& selectedFilter = {}, const QString& dir = {})
    {
        return openFileName(title, filter, selectedFilter, dir);
    }
    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
};

} // namespace velto
