#pragma once

#include "common/prompter.h"

#include <QPointer>
#include <QSet>
#include <QWidget>

#include <memory>

namespace velto::ui {

// Message boxes and dialogs on screen. Messages open window-modal and return at once, so a timer
// that raises one keeps running and nothing waits inside a nested loop.
class QtPrompter final : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr);
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void message(const QString& text, const QString& title, Icon icon) override;
    bool askYesNo(const QString& text, const QString& title) override;
    bool askYesNoDefaultNo(const QString& text, const QString& title, Icon icon) override;
    QString openFileName(const QString& title, const QString& filter, const QString& selectedFilter,
        const QString& dir) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& selectedFilter,
        const QString& dir) override;
    QString openOrNewFileName(const QString& title, const QString& filter, const QString& selectedFilter,
        const QString& dir) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

private:
    QWidget* owner() const;

    QPointer<QWidget> m_parent;
    // Messages on screen now; shared with each box, which may outlive the prompter.
    std::shared_ptr<QSet<QString>> m_open = std::make_shared<QSet<QString>>();
};

} // namespace velto::ui
