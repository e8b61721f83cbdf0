#include "cli/poll_session.h"

#include "cli/commands.h"
#include "cli/poll_run.h"
#include "cli/signal_watcher.h"

#include <QCoreApplication>
#include <QTimer>

namespace velto::cli {

PollSession::PollSession()
    : m_plotOption(CliPlot::option())
{
}

void PollSession::addTo(QCommandLineParser& parser) const
{
    m_logOptions.addTo(parser);
    parser.addOption(m_plotOption);
}

void PollSession::readLog(const QCommandLineParser& parser, QString& error)
{
    m_logRequest = m_logOptions.read(parser, error);
}

void PollSession::readPlot(const QCommandLineParser& parser, QString& error)
{
    if (!parser.isSet(m_plotOption))
        return;
    if (parser.value(m_plotOption).isEmpty())
        error = QStringLiteral("--plot wants a file name");
    else
        m_plotPath = parser.value(m_plotOption);
}

bool PollSession::prepare(const QString& plotTitle, int pollIntervalMs, CliReadingsLog::ReadingsFor readings,
    CliReadingsLog::LayoutFor layout)
{
    if (m_plotPath) {
        m_picture = std::make_unique<CliPlot>(*m_plotPath, plotTitle);
        if (!m_picture->prepare())
            return false;
    }
    if (m_logRequest) {
        m_log = std::make_unique<CliReadingsLog>(
            m_logRequest->path, m_logRequest->rateMs, pollIntervalMs, m_panel, readings, layout);
        if (!m_log->prepare())
            return false;
    }
    return true;
}

int PollSession::exec(PollRun& run)
{
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &run, &PollRun::stop);
    QTimer::singleShot(0, &run, &PollRun::start);
    int code = QCoreApplication::exec();
    if (m_picture && !m_picture->write())
        code = kExitFailure;
    return code;
}

} // namespace velto::cli
