#pragma once

#include "debuglog/parsing_outcome.h"
#include "debuglog/parsing_row_cursor.h"

#include <QString>

#include <atomic>
#include <functional>

class QFile;

namespace velto::debuglog {

// The files of one run: the captured log and the two workbooks it becomes.
struct ParsingPaths {
    QString log;
    QString allWorkbook; // one row per record
    QString currentWorkbook; // one row per record whose C value is 1

    // "TaliqAllDebug.xlsx" and "Taliq4_20Debug.xlsx" in folder.
    static ParsingPaths inFolder(const QString& log, const QString& folder);
};

// What a saved run tells: the rows each workbook got, the folder, and a line left out.
QString parsingSavedMessage(const ParsingOutcome& outcome, const ParsingPaths& paths);

// One whole conversion of a log into the two workbooks, run start to end on the calling thread
// (never the UI thread: a big log takes seconds). The workbooks replace the old ones only when
// every line was read, at least one record found and both were written. A last line without a
// line end (a capture cut short) is left out and named; a bad line before it fails the run.
class ParsingJob {
public:
    static constexpr qint64 kProgressEveryLines = 8192;

    // Told the line count once counted, then the lines done every kProgressEveryLines lines.
    using Progress = std::function<void(qint64 linesDone, qint64 lineCount)>;

    ParsingJob(ParsingPaths paths, const std::atomic<bool>& cancel, Progress progress = {});

    ParsingOutcome run();

private:
    struct Output;

    // The stages of a run, in order; each returns false when the run ends there, m_outcome telling how.
    bool openLog(QFile& log);
    bool countLines(QFile& log, qint64& lineCount);
    bool openOutput(Output& output);
    bool readLines(QFile& log, qint64 lineCount, Output& all, Output& current);
    bool saveOutputs(Output& all, Output& current);

    bool fail(ParsingStage stage, const QString& detail = {});
    bool failReadingLog(const QFile& log);
    bool failClosing(const Output& output);
    bool cursorFailed(ParsingRowCursor::Step step);
    bool cancelled();
    bool cancelRequested() const { return m_cancel.load(std::memory_order_relaxed); }

    ParsingPaths m_paths;
    const std::atomic<bool>& m_cancel;
    Progress m_progress;
    ParsingOutcome m_outcome;
};

} // namespace velto::debuglog
