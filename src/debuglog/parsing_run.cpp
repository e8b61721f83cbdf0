#include "debuglog/parsing_run.h"

namespace velto::debuglog {

ParsingRun::ParsingRun(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<ParsingOutcome>();
}

ParsingRun::~ParsingRun()
{
    if (!m_thread)
        return;
    cancel();
    // Nobody is left to hear the finished signal; the job looks at the flag every few thousand lines.
    m_thread->wait();
    delete m_thread;
}

bool ParsingRun::start(const ParsingPaths& paths)
{
    if (m_thread)
        return false;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto outcome = std::make_shared<ParsingOutcome>();
    m_cancel = cancel;
    m_thread = QThread::create([this, paths, cancel, outcome] {
        ParsingJob job(paths, *cancel, [this](qint64 done, qint64 count) {
            QMetaObject::invokeMethod(
                this, [this, done, count] { emit progressed(done, count); }, Qt::QueuedConnection);
        });
        *outcome = job.run();
    });
    // Runs here once the thread has ended, after every progress report it queued.
    connect(m_thread, &QThread::finished, this, [this, outcome] {
        delete std::exchange(m_thread, nullptr);
        emit finished(*outcome);
    });
    m_thread->start();
    return true;
}

void ParsingRun::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
}

} // namespace velto::debuglog
