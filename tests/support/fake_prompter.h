#pragma once

#include "common/prompter.h"

#include <QQueue>
#include <QStringList>

namespace velto::test {

// Records every message and answers questions and dialogs from queues filled by the test.
class FakePrompter final : public Prompter {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };

    QList<Message> messages;
    QQueue<bool> yesNoAnswers; // empty: answers "no"
    QQueue<QString> fileAnswers; // empty: the dialog was cancelled
    QStringList fileDialogFilters; // the filter each file dialog was opened with
    QStringList fileDialogSelectedFilters;
    QStringList fileDialogKinds; // "open", "save" or "openOrNew", one per dialog
    std::optional<QFont> fontAnswer;
    std::optional<QColor> colorAnswer;

    void message(const QString& text, const QString& title, Icon icon) override
    {
        messages.append({ text, title, icon });
    }
    bool askYesNo(const QString& text, const QString& title) override
    {
        messages.append({ text, title, Icon::Question });
        return yesNoAnswers.isEmpty() ? false : yesNoAnswers.dequeue();
    }
    bool askYesNoDefaultNo(const QString& text, const QString& title, Icon icon) override
    {
        messages.append({ text, title, icon });
        return yesNoAnswers.isEmpty() ? false : yesNoAnswers.dequeue();
    }
    QString openFileName(
        const QString&, const QString& filter, const QString& selectedFilter, const QString&) override
    {
        fileDialogKinds << QStringLiteral("open");
        return nextFile(filter, selectedFilter);
    }
    QString saveFileName(
        const QString&, const QString& filter, const QString& selectedFilter, const QString&) override
    {
        fileDialogKinds << QStringLiteral("save");
        return nextFile(filter, selectedFilter);
    }
    QString openOrNewFileName(
        const QString&, const QString& filter, const QString& selectedFilter, const QString&) override
    {
        fileDialogKinds << QStringLiteral("openOrNew");
        return nextFile(filter, selectedFilter);
    }
    std::optional<QFont> chooseFont(const QFont&) override { return fontAnswer; }
    std::optional<QColor> chooseColor(const QColor&) override { return colorAnswer; }

    QStringList texts() const
    {
        QStringList out;
        for (const auto& m : messages)
            out << m.text;
        return out;
    }
    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }

private:
    QString nextFile(const QString& filter, const QString& selectedFilter)
    {
        fileDialogFilters << filter;
        fileDialogSelectedFilters << selectedFilter;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
};

} // namespace velto::test
