#pragma once

#include "debuglog/parsing_job.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

namespace velto::debuglog {

// A parsing job on a worker thread, reported by signals on the owner's thread: the window (or
// the command line) stays live, and cancel() ends the run at the next block of lines.
class ParsingRun : public QObject {
    Q_OBJECT
public:
    explicit ParsingRun(QObject* parent = nullptr);
    ~ParsingRun() override; // cancels and waits for the worker, briefly unless a workbook is closing

    // False while an earlier run (even a cancelled one) is still winding down.
    bool start(const ParsingPaths& paths);
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }

signals:
    void progressed(qint64 linesDone, qint64 lineCount);
    // Exactly once per started run, cancelled runs included.
    void finished(const velto::debuglog::ParsingOutcome& outcome);

private:
    QThread* m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};

} // namespace velto::debuglog
