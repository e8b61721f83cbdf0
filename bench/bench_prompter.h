#pragma once

#include "common/prompter.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdio>
#include <optional>

namespace velto::bench {

// The benches' windows ask nobody: every question is answered "no", every message goes to stderr and
// is counted, and a file dialog answers with the path the bench set (empty: cancelled).
class BenchPrompter final : public Prompter {
public:
    int messages = 0;
    QString openPath;
    QString savePath;

    void message(const QString& text, const QString&, Icon) override
    {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool askYesNo(const QString&, const QString&) override { return false; }
    QString openFileName(const QString&, const QString&, const QString&, const QString&) override
    {
        return openPath;
    }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override
    {
        return savePath;
    }
    std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(const QColor&) override { return std::nullopt; }
};

} // namespace velto::bench
