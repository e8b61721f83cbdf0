#pragma once

#include "debuglog/parsing_log_line.h"
#include "debuglog/parsing_row_sink.h"

#include <optional>

namespace velto::debuglog {

// Places each line of a log in the two workbooks: every record in the all-records workbook, the
// records whose C value is 1 in the 4-20 mA workbook, and the search lines in the row of the
// record before them. A record's row is held back until the next record comes, since search lines
// may still change it; the workbooks are written front to back and a row is never revisited.
class ParsingRowCursor {
public:
    static constexpr int kFirstRecordRow = 2; // row 1 holds the headers
    static constexpr int kLastRow = 1048576; // the most rows a worksheet has

    enum class Step { Ok, RowLimit, WriteFailed };

    ParsingRowCursor(ParsingRowSink& allRecords, ParsingRowSink& currentOutput);

    // Record, search and ignored lines; a malformed line is the caller's to judge.
    Step add(const ParsingLogLine& line);
    // Hands on the rows still held. Call once, at the end of the log.
    Step finish();

    // Rows written so far, headers not counted.
    int allRows() const { return m_allRow - kFirstRecordRow; }
    int currentRows() const { return m_currentRow - kFirstRecordRow; }

private:
    Step flush();

    ParsingRowSink& m_allSink;
    ParsingRowSink& m_currentSink;
    // Rows of the last record, until the next one; m_current only when that record's C was 1, so
    // a search line after any other record leaves the 4-20 mA workbook alone.
    std::optional<ParsingRow> m_all;
    std::optional<ParsingRow> m_current;
    int m_allRow = kFirstRecordRow; // next row of each workbook
    int m_currentRow = kFirstRecordRow;
};

} // namespace velto::debuglog
