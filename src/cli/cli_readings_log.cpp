#include "cli/cli_readings_log.h"

#include "cli/cli_options.h"
#include "common/clock.h"
#include "logging/log_file_writer.h"

namespace velto::cli {

LogOptions::LogOptions()
    : m_log(QStringLiteral("log"), QStringLiteral("Write the readings log to FILE (needs --rate)."),
        QStringLiteral("FILE"))
    , m_rate(QStringLiteral("rate"), QStringLiteral("Seconds between log lines, above 0 and below 61."),
          QStringLiteral("SECONDS"))
{
}

void LogOptions::addTo(QCommandLineParser& parser) const
{
    parser.addOption(m_log);
    parser.addOption(m_rate);
}

std::optional<LogRequest> LogOptions::read(const QCommandLineParser& parser, QString& error) const
{
    if (!parser.isSet(m_log) && !parser.isSet(m_rate))
        return std::nullopt;
    if (!parser.isSet(m_log) || !parser.isSet(m_rate) || parser.value(m_log).isEmpty()) {
        error = QStringLiteral("--log FILE and --rate SECONDS go together");
        return std::nullopt;
    }
    const logging::RateEntry rate = logging::checkRate(parser.value(m_rate));
    if (rate.kind != logging::RateEntry::Kind::Valid) {
        error
            = QStringLiteral("--rate wants seconds above 0 and below 61, not '%1'").arg(parser.value(m_rate));
        return std::nullopt;
    }
    return LogRequest { parser.value(m_log), rate.intervalMs };
}

void StderrPrompter::message(const QString& text, const QString&, Icon)
{
    ++m_messages;
    printError(text);
}

CliReadingsLog::CliReadingsLog(const QString& path, int rateMs, int pollIntervalMs, const PanelTexts& panel,
    ReadingsFor readings, LayoutFor layout)
    : m_logger(m_prompter, SystemClock::instance())
    , m_panel(panel)
    , m_layout(std::move(layout))
    , m_path(path)
    , m_rateMs(rateMs)
    , m_toleranceMs(pollIntervalMs / 2)
{
    m_logger.setReadingsSource([this, readings = std::move(readings)] { return readings(m_panel); });
}

bool CliReadingsLog::prepare()
{
    if (logging::LogFileWriter(m_path).create())
        return true;
    m_prompter.message(logging::kCreateFileError + QStringLiteral(": ") + m_path);
    return false;
}

void CliReadingsLog::afterStep(bool ready)
{
    if (!m_open) {
        if (!ready)
            return;
        m_logger.openFile(m_path, m_layout(m_panel));
        m_open = true;
        m_clock.start();
        m_nextDueMs = 0;
    }
    const qint64 now = m_clock.elapsed();
    if (now + m_toleranceMs < m_nextDueMs)
        return;
    m_logger.EnterDataToFile();
    // Due times keep to the rate's grid; a step that came too late does not cause a burst.
    m_nextDueMs += m_rateMs;
    if (m_nextDueMs + m_toleranceMs <= now)
        m_nextDueMs = now + m_rateMs;
}

} // namespace velto::cli
