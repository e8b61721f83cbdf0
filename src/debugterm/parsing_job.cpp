#include "debugterm/parsing_job.h"

#include "debugterm/parsing_line_reader.h"
#include "debugterm/parsing_log_line.h"
#include "debugterm/parsing_row_cursor.h"
#include "debugterm/workbook_file.h"
#include "debugterm/workbook_thread.h"
#include "debugterm/workbook_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace velto::debugterm {

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

ParsingJob::ParsingJob(ParsingPaths paths, const std::atomic<bool>& cancel, Progress progress)
    : m_paths(std::move(paths))
    , m_cancel(cancel)
    , m_progress(std::move(progress))
{
}

ParsingOutcome ParsingJob::fail(ParsingStage stage, const QString& detail)
{
    m_outcome.result = ParsingOutcome::Result::Failed;
    m_outcome.stage = stage;
    m_outcome.message = parsingStageMessage(stage);
    m_outcome.detail = detail;
    return m_outcome;
}

ParsingOutcome ParsingJob::cancelled()
{
    m_outcome.result = ParsingOutcome::Result::Cancelled;
    return m_outcome;
}

ParsingOutcome ParsingJob::run()
{
    m_outcome = {};
    // Opening a pipe waits for a writer and a device may never end: either would hold the run.
    if (const QFileInfo info(m_paths.log); info.exists() && !info.isFile())
        return fail(ParsingStage::OpenLog,
            QStringLiteral("%1: %2").arg(m_paths.log,
                info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a file")));
    QFile log(m_paths.log);
    if (!log.open(QIODevice::ReadOnly))
        return fail(ParsingStage::OpenLog, QStringLiteral("%1: %2").arg(m_paths.log, log.errorString()));

    // The bar runs from line 1 to the last line, so the lines are counted first.
    qint64 lineCount = 0;
    {
        ParsingLineReader counter(log, &m_cancel);
        std::string_view text;
        bool cut = false;
        while (counter.next(text, cut))
            ++lineCount;
        if (counter.cancelled())
            return cancelled();
        if (counter.failed() || !log.seek(0))
            return fail(ParsingStage::OpenLog, QStringLiteral("%1: %2").arg(m_paths.log, log.errorString()));
    }
    if (lineCount < 1)
        return fail(ParsingStage::Empty, QStringLiteral("%1 holds no lines").arg(m_paths.log));
    if (m_progress)
        m_progress(0, lineCount);

    WorkbookFile allFile(m_paths.allWorkbook);
    WorkbookWriter allWriter;
    if (!allFile.create())
        return fail(ParsingStage::FirstWorkbook, allFile.errorText());
    if (!allWriter.open(allFile.temporaryPath()))
        return fail(ParsingStage::FirstWorkbook, allWriter.errorText());
    WorkbookFile currentFile(m_paths.currentWorkbook);
    WorkbookWriter currentWriter;
    if (!currentFile.create())
        return fail(ParsingStage::SecondWorkbook, currentFile.errorText());
    if (!currentWriter.open(currentFile.temporaryPath()))
        return fail(ParsingStage::SecondWorkbook, currentWriter.errorText());

    // Declared after the writers: on any early return the threads stop before the writers go.
    WorkbookThread allThread(allWriter, [&allWriter] { return allWriter.close(); });
    WorkbookThread currentThread(currentWriter, [&currentWriter] { return currentWriter.close(); });
    ParsingRowCursor cursor(allThread, currentThread);
    auto stepFailure = [&](ParsingRowCursor::Step step) {
        if (step == ParsingRowCursor::Step::RowLimit) {
            fail(ParsingStage::Parsing,
                QStringLiteral("line %1: more records than a worksheet holds (%2 rows)")
                    .arg(m_outcome.lines)
                    .arg(ParsingRowCursor::kLastRow));
            m_outcome.message = QStringLiteral("More Records than One Worksheet Holds: Nothing Was Saved");
            return m_outcome;
        }
        return fail(ParsingStage::FirstWorkbook, QStringLiteral("a workbook row could not be written"));
    };

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
            return m_outcome;
        }
        if (const auto step = cursor.add(line); step != ParsingRowCursor::Step::Ok)
            return stepFailure(step);
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
        return fail(ParsingStage::OpenLog, QStringLiteral("%1: %2").arg(m_paths.log, log.errorString()));
    if (const auto step = cursor.finish(); step != ParsingRowCursor::Step::Ok)
        return stepFailure(step);
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

    allThread.startClose();
    currentThread.startClose();
    const bool allClosed = allThread.waitClosed();
    const bool currentClosed = currentThread.waitClosed();
    if (!allClosed)
        return fail(ParsingStage::FirstWorkbook,
            allFile.temporaryPath() + QStringLiteral(": ") + allWriter.errorText());
    if (!currentClosed)
        return fail(ParsingStage::SecondWorkbook,
            currentFile.temporaryPath() + QStringLiteral(": ") + currentWriter.errorText());
    if (cancelRequested())
        return cancelled();
    if (!allFile.commit())
        return fail(ParsingStage::FirstWorkbook, allFile.errorText());
    if (!currentFile.commit())
        return fail(ParsingStage::SecondWorkbook, currentFile.errorText());
    m_outcome.result = ParsingOutcome::Result::Saved;
    m_outcome.stage = ParsingStage::Done;
    return m_outcome;
}

} // namespace velto::debugterm
