#include "debugterm/parsing_job.h"

#include "debugterm/parsing_line_reader.h"
#include "debugterm/parsing_log_line.h"
#include "debugterm/parsing_row_cursor.h"
#include "debugterm/workbook_file.h"
#include "debugterm/workbook_thread.h"
#include "debugterm/workbook_writer.h"

#include <QDir>
#include <QFile>

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
    case ParsingStage::Done:
        break;
    }
    return {};
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
    QFile log(m_paths.log);
    if (!log.open(QIODevice::ReadOnly))
        return fail(ParsingStage::OpenLog, QStringLiteral("%1: %2").arg(m_paths.log, log.errorString()));

    // The bar runs from line 1 to the last line, so the lines are counted first.
    qint64 lineCount = 0;
    {
        ParsingLineReader counter(log);
        std::string_view text;
        bool cut = false;
        while (counter.next(text, cut)) {
            if (++lineCount % kProgressEveryLines == 0 && cancelRequested())
                return cancelled();
        }
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

    ParsingLineReader reader(log);
    std::string_view text;
    bool cut = false;
    while (reader.next(text, cut)) {
        ++m_outcome.lines;
        const ParsingLogLine line = readLine(text, cut);
        if (line.kind == ParsingLogLine::Kind::Malformed)
            return fail(ParsingStage::Parsing,
                QStringLiteral("line %1: %2").arg(m_outcome.lines).arg(line.problemText()));
        if (const auto step = cursor.add(line); step != ParsingRowCursor::Step::Ok)
            return stepFailure(step);
        if (m_outcome.lines % kProgressEveryLines == 0) {
            if (cancelRequested())
                return cancelled();
            if (m_progress)
                m_progress(m_outcome.lines, lineCount);
        }
    }
    if (reader.failed())
        return fail(ParsingStage::OpenLog, QStringLiteral("%1: %2").arg(m_paths.log, log.errorString()));
    if (const auto step = cursor.finish(); step != ParsingRowCursor::Step::Ok)
        return stepFailure(step);
    m_outcome.allRows = cursor.allRows();
    m_outcome.currentRows = cursor.currentRows();
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
