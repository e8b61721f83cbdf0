#pragma once

#include "common/background_job.h"
#include "debuglog/parsing_job.h"

#include <QObject>

namespace velto::debuglog {

// How far a run got, as the job tells it.
struct ParsingProgress {
    qint64 linesDone = 0;
    qint64 lineCount = 0;
};

// A parsing job on a worker thread, reported by signals on the owner's thread: the window (or
// the command line) stays live, and cancel() ends the run at the next block of lines.
class ParsingRun : public QObject {
    Q_OBJECT
public:
    explicit ParsingRun(QObject* parent = nullptr);
    ~ParsingRun() override; // cancels; the worker winds down on its own, its outcome unheard

    // False while an earlier run (even a cancelled one) is still winding down.
    bool start(const ParsingPaths& paths);
    void cancel();
    bool isRunning() const { return m_job.isRunning(); }

signals:
    void progressed(qint64 linesDone, qint64 lineCount);
    // Exactly once per started run, cancelled runs included.
    void finished(const velto::debuglog::ParsingOutcome& outcome);

private:
    BackgroundJob<ParsingOutcome, ParsingProgress> m_job;
};

} // namespace velto::debuglog
