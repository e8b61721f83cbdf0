#include "debuglog/parsing_run.h"

namespace velto::debuglog {

ParsingRun::ParsingRun(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<ParsingOutcome>();
}

ParsingRun::~ParsingRun() = default;

bool ParsingRun::start(const ParsingPaths& paths)
{
    using Control = decltype(m_job)::Control;
    return m_job.start(
        [paths](Control& control) {
            ParsingJob job(paths, control.cancelFlag(), [&control](qint64 done, qint64 count) {
                control.report({ done, count });
            });
            return job.run();
        },
        [this](const ParsingOutcome& outcome) { emit finished(outcome); },
        [this](const ParsingProgress& progress) { emit progressed(progress.linesDone, progress.lineCount); });
}

void ParsingRun::cancel()
{
    m_job.cancel();
}

} // namespace velto::debuglog
