#include "debuglog/parsing_job.h"

#include "debuglog/parsing_line_reader.h"
#include "debuglog/parsing_log_line.h"
#include "debuglog/parsing_row_cursor.h"
#include "debuglog/workbook_file.h"
#include "debuglog/workbook_thread.h"
#include "debuglog/workbook_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace velto::debuglog {

namespace {

constexpr auto kAllWorkbookName = "TaliqAllDebug.xlsx";
constexpr auto kCurrentWorkbookName = "Taliq4_20Debug.xlsx";

// A line cut short by the reader is as good as read if it would be ignored anyway; a record or
// search line that long cannot be read right.
ParsingLogLine readLine(std::string_view text, bool cut)
{
    ParsingLogLine line = parseLogLine(text);
    if (cut && line.kind != ParsingLogLine::Kind::Other) {
        line = {};
        line.kind = ParsingLogLine::Kind::Malformed;
        line.problem = ParsingLogLine::Problem::TooLong;
    }
    return line;
}

} // namespace

QString parsingStageMessage(ParsingStage stage)
{
    switch (stage) {
    case ParsingStage::Empty:
        return QStringLiteral("TXT File is Empty");
    case ParsingStage::OpenLog:
        return QStringLiteral("Problen to Open TXT File");
    case ParsingStage::FirstWorkbook:
    case ParsingStage::SecondWorkbook:
        return QStringLiteral("Problen with Excel File");
    case ParsingStage::Parsing:
        return QStringLiteral("Incorrect TXT File Format");
    case ParsingStage::NoRecords:
        return QStringLiteral("TXT File Holds No Records: the Workbooks Were Kept");
    case ParsingStage::Done:
        break;
    }
    return {};
}

QString unfinishedLineNote(const ParsingOutcome& outcome)
{
    if (outcome.unfinishedLine == 0)
        return {};
    return QStringLiteral(
        "The last line (line %1) has no line end, as when a capture is cut short: it was left out.")
        .arg(outcome.unfinishedLine);
}

QString parsingSavedMessage(const ParsingOutcome& outcome, const ParsingPaths& paths)
{
    const QFileInfo all(paths.allWorkbook);
    const QFileInfo current(paths.currentWorkbook);
    QString text = QStringLiteral("%1 rows saved to %2 and %3 rows to %4 in %5.")
                       .arg(outcome.allRows)
                       .arg(all.fileName())
                       .arg(outcome.currentRows)
                       .arg(current.fileName(), QDir::toNativeSeparators(all.absolutePath()));
    if (const QString note = unfinishedLineNote(outcome); !note.isEmpty())
        text += QLatin1Char(' ') + note;
    return text;
}

ParsingPaths ParsingPaths::inFolder(const QString& log, const QString& folder)
{
    const QDir dir(folder);
    return { log, dir.filePath(QLatin1String(kAllWorkbookName)),
        dir.filePath(QLatin1String(kCurrentWorkbookName)) };
}

// One workbook of a run: a temporary file fed by a thread of its own.
struct ParsingJob::Output {
    Output(const QString& path, ParsingStage failureStage)
        : file(path)
        , stage(failureStage)
    {
    }

    WorkbookFile file;
    WorkbookWriter writer;
    // After the writer: on any early end the thread stops before the writer goes.
    std::optional<WorkbookThread> thread;
    ParsingStage stage; // the stage a failure of this workbook is told as
};

ParsingJob::ParsingJob(ParsingPaths paths, const std::atomic<bool>& cancel, Progress progress)
    : m_paths(std::move(paths))
    , m_cancel(cancel)
    , m_progress(std::move(progress))
{
}

bool ParsingJob::fail(ParsingStage stage, const QString& detail)
{
    m_outcome.result = ParsingOutcome::Result::Failed;
    m_outcome.stage = stage;
    m_outcome.message = parsingStageMessage(stage);
    m_outcome.detail = detail;
    return false;
}

bool ParsingJob::cancelled()
{
    m_outcome.result = ParsingOutcome::Result::Cancelled;
    return false;
}

bool ParsingJob::failClosing(const Output& output)
{
    return fail(output.stage, output.file.temporaryPath() + QStringLiteral(": ") + output.writer.errorText());
}

bool ParsingJob::failReadingLog(const QFile& log)
{
    return fail(ParsingStage::OpenLog, QStringLiteral("%1: %2").arg(m_paths.log, log.errorString()));
}

ParsingOutcome ParsingJob::run()
{
    m_outcome = {};
    QFile log(m_paths.log);
    qint64 lineCount = 0;
    if (!openLog(log) || !countLines(log, lineCount))
        return m_outcome;
    Output all(m_paths.allWorkbook, ParsingStage::FirstWorkbook);
    Output current(m_paths.currentWorkbook, ParsingStage::SecondWorkbook);
    if (!openOutput(all) || !openOutput(current))
        return m_outcome;
    if (!readLines(log, lineCount, all, current) || !saveOutputs(all, current))
        return m_outcome;
    m_outcome.result = ParsingOutcome::Result::Saved;
    m_outcome.stage = ParsingStage::Done;
    return m_outcome;
}

bool ParsingJob::openLog(QFile& log)
{
    // Opening a pipe waits for a writer and a device may never end: either would hold the run.
    if (const QFileInfo info(m_paths.log); info.exists() && !info.isFile())
        return fail(ParsingStage::OpenLog,
            QStringLiteral("%1: %2").arg(m_paths.log,
                info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a file")));
    if (!log.open(QIODevice::ReadOnly))
        return failReadingLog(log);
    return true;
}

// The bar runs from line 1 to the last line, so the lines are counted first.
bool ParsingJob::countLines(QFile& log, qint64& lineCount)
{
    ParsingLineReader counter(log, &m_cancel);
    std::string_view text;
    bool cut = false;
    while (counter.next(text, cut))
        ++lineCount;
    if (counter.cancelled())
        return cancelled();
    if (counter.failed() || !log.seek(0))
        return failReadingLog(log);
    if (lineCount < 1)
        return fail(ParsingStage::Empty, QStringLiteral("%1 holds no lines").arg(m_paths.log));
    if (m_progress)
        m_progress(0, lineCount);
    return true;
}

bool ParsingJob::openOutput(Output& output)
{
    if (!output.file.create())
        return fail(output.stage, output.file.errorText());
    if (!output.writer.open(output.file.temporaryPath()))
        return fail(output.stage, output.writer.errorText());
    WorkbookWriter& writer = output.writer;
    output.thread.emplace(writer, [&writer] { return writer.close(); });
    return true;
}

bool ParsingJob::readLines(QFile& log, qint64 lineCount, Output& all, Output& current)
{
    ParsingRowCursor cursor(*all.thread, *current.thread);
    ParsingLineReader reader(log, &m_cancel);
    std::string_view text;
    bool cut = false;
    while (reader.next(text, cut)) {
        if (reader.unfinished()) {
            // Whatever it holds, a line cut short cannot be trusted: "S 0\t 12" was "S 0\t 12.50".
            m_outcome.unfinishedLine = m_outcome.lines + 1;
            break;
        }
        ++m_outcome.lines;
        const ParsingLogLine line = readLine(text, cut);
        if (line.kind == ParsingLogLine::Kind::Malformed) {
            const QString problem = line.problemText();
            fail(ParsingStage::Parsing, QStringLiteral("line %1: %2").arg(m_outcome.lines).arg(problem));
            m_outcome.message += QStringLiteral(" in line %1 (%2)").arg(m_outcome.lines).arg(problem);
            return false;
        }
        if (const auto step = cursor.add(line); step != ParsingRowCursor::Step::Ok)
            return cursorFailed(step);
        if (m_outcome.lines % kProgressEveryLines == 0) {
            if (cancelRequested())
                return cancelled();
            if (m_progress)
                m_progress(m_outcome.lines, lineCount);
        }
    }
    if (reader.cancelled())
        return cancelled();
    if (reader.failed())
        return failReadingLog(log);
    if (const auto step = cursor.finish(); step != ParsingRowCursor::Step::Ok)
        return cursorFailed(step);
    m_outcome.allRows = cursor.allRows();
    m_outcome.currentRows = cursor.currentRows();
    // A file chosen by mistake (a HEX file) must not replace the workbooks with empty ones.
    if (m_outcome.allRows == 0)
        return fail(ParsingStage::NoRecords,
            QStringLiteral("%1: no record line (a line beginning with \"D\") in %2 lines")
                .arg(m_paths.log)
                .arg(m_outcome.lines));
    if (m_progress && m_outcome.lines % kProgressEveryLines != 0)
        m_progress(m_outcome.lines, lineCount);
    return true;
}

bool ParsingJob::cursorFailed(ParsingRowCursor::Step step)
{
    if (step != ParsingRowCursor::Step::RowLimit)
        return fail(ParsingStage::FirstWorkbook, QStringLiteral("a workbook row could not be written"));
    fail(ParsingStage::Parsing,
        QStringLiteral("line %1: more records than a worksheet holds (%2 rows)")
            .arg(m_outcome.lines)
            .arg(ParsingRowCursor::kLastRow));
    m_outcome.message = QStringLiteral("More Records than One Worksheet Holds: Nothing Was Saved");
    return false;
}

// Both workbooks are closed at once, on their threads; they replace the old ones only when both
// were written.
bool ParsingJob::saveOutputs(Output& all, Output& current)
{
    all.thread->startClose();
    current.thread->startClose();
    const bool allClosed = all.thread->waitClosed();
    const bool currentClosed = current.thread->waitClosed();
    if (!allClosed)
        return failClosing(all);
    if (!currentClosed)
        return failClosing(current);
    if (cancelRequested())
        return cancelled();
    if (!all.file.commit())
        return fail(all.stage, all.file.errorText());
    if (!current.file.commit())
        return fail(current.stage, current.file.errorText());
    return true;
}

} // namespace velto::debuglog
