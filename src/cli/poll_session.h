#pragma once

#include "cli/cli_plot.h"
#include "cli/cli_readings_log.h"
#include "cli/panel_texts.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <memory>
#include <optional>

namespace velto::cli {

class PollRun;

// What the poll commands share around their own run: the --log and --plot options, the panel texts
// the log reads, and the event loop, which ends when the run exits it or an interrupt stops it, and
// after which the picture is written.
class PollSession {
public:
    PollSession();

    void addTo(QCommandLineParser& parser) const;
    // Each leaves `error` set when its options are refused; a later complaint replaces an earlier
    // one, so a command reads its own options between the two where it always has.
    void readLog(const QCommandLineParser& parser, QString& error);
    void readPlot(const QCommandLineParser& parser, QString& error);
    // Checks the picture's folder and creates the log file before any polling, so a long run does
    // not end with nothing written; prints the reason and returns false when either cannot be.
    bool prepare(const QString& plotTitle, int pollIntervalMs, CliReadingsLog::ReadingsFor readings,
        CliReadingsLog::LayoutFor layout);

    PanelTexts& panel() { return m_panel; }
    CliReadingsLog* log() { return m_log.get(); }
    template <class Poller> void watch(Poller& poller)
    {
        if (m_picture)
            m_picture->feed().watch(poller);
    }

    // The command's exit code: the run's, or a failure when the picture could not be written.
    int exec(PollRun& run);

private:
    LogOptions m_logOptions;
    QCommandLineOption m_plotOption;
    std::optional<LogRequest> m_logRequest;
    std::optional<QString> m_plotPath;
    PanelTexts m_panel;
    std::unique_ptr<CliPlot> m_picture;
    std::unique_ptr<CliReadingsLog> m_log;
};

} // namespace velto::cli
