#pragma once

#include "cli/panel_texts.h"
#include "common/prompter.h"
#include "logging/readings_logger.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <optional>

namespace velto::cli {

struct LogRequest {
    QString path;
    int rateMs;
};

// --log FILE and --rate SECONDS, given together or not at all.
class LogOptions {
public:
    LogOptions();
    void addTo(QCommandLineParser& parser) const;
    // Empty without --log; the rate is checked as the window's rate box checks it.
    std::optional<LogRequest> read(const QCommandLineParser& parser, QString& error) const;

private:
    QCommandLineOption m_log;
    QCommandLineOption m_rate;
};

// Message boxes of the log become lines on stderr; a command that saw one exits with a failure.
class StderrPrompter final : public Prompter {
public:
    void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) override;
    bool askYesNo(const QString&, const QString& = {}) override { return false; }
    QString openFileName(const QString&, const QString&, const QString& = {}, const QString& = {}) override
    {
        return {};
    }
    QString saveFileName(const QString&, const QString&, const QString& = {}, const QString& = {}) override
    {
        return {};
    }
    std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(const QColor&) override { return std::nullopt; }

    int messageCount() const { return m_messages; }

private:
    int m_messages = 0;
};

// The readings log of a command-line poll, written by the window's logger. Unlike the window, whose
// log timer may fire between two requests of a tick, a line is only written right after a poll
// step, so each line matches a printed one: the file is opened (title line) at the first step that
// finds the panel ready, and a line follows every step on which the rate has come round.
class CliReadingsLog {
public:
    using ReadingsFor = std::function<logging::LogReadings(const PanelTexts&)>;
    using LayoutFor = std::function<logging::LogLayout(const PanelTexts&)>;

    // pollIntervalMs is the poller's period: a step that ends within half of it before the line is
    // due still writes it, so a rate equal to the period logs every step despite timer jitter.
    CliReadingsLog(const QString& path, int rateMs, int pollIntervalMs, const PanelTexts& panel,
        ReadingsFor readings, LayoutFor layout);

    // Creates the file at once, so a path that cannot be written is reported before polling.
    bool prepare();
    // After every poll step; ready once the panel holds what a line logs.
    void afterStep(bool ready);
    // A file error was reported.
    bool failed() const { return m_prompter.messageCount() > 0; }

private:
    StderrPrompter m_prompter;
    logging::ReadingsLogger m_logger;
    const PanelTexts& m_panel;
    LayoutFor m_layout;
    QString m_path;
    int m_rateMs;
    int m_toleranceMs;
    QElapsedTimer m_clock;
    qint64 m_nextDueMs = 0;
    bool m_open = false;
};

} // namespace velto::cli
