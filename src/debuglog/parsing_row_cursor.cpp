#include "debuglog/parsing_row_cursor.h"

namespace velto::debuglog {

ParsingRowCursor::ParsingRowCursor(ParsingRowSink& allRecords, ParsingRowSink& currentOutput)
    : m_allSink(allRecords)
    , m_currentSink(currentOutput)
{
}

ParsingRowCursor::Step ParsingRowCursor::add(const ParsingLogLine& line)
{
    using Kind = ParsingLogLine::Kind;
    switch (line.kind) {
    case Kind::Record: {
        if (const Step step = flush(); step != Step::Ok)
            return step;
        if (m_allRow > kLastRow)
            return Step::RowLimit;
        m_all = line.record;
        if (line.currentOutput)
            m_current = line.record;
        return Step::Ok;
    }
    case Kind::SearchDistance:
    case Kind::SearchEvent: {
        // Before the first record there is no row to change: the header row stays as it is.
        const auto column
            = line.kind == Kind::SearchDistance ? ParsingColumn::DistanceJump : ParsingColumn::AlgDecision;
        if (m_all)
            m_all->set(column, line.number);
        if (m_current)
            m_current->set(column, line.number);
        return Step::Ok;
    }
    case Kind::Other:
    case Kind::Malformed:
        break;
    }
    return Step::Ok;
}

ParsingRowCursor::Step ParsingRowCursor::finish()
{
    return flush();
}

ParsingRowCursor::Step ParsingRowCursor::flush()
{
    if (m_all) {
        if (!m_allSink.writeRow(m_allRow, *m_all))
            return Step::WriteFailed;
        ++m_allRow;
        m_all.reset();
    }
    if (m_current) {
        if (m_currentRow > kLastRow)
            return Step::RowLimit;
        if (!m_currentSink.writeRow(m_currentRow, *m_current))
            return Step::WriteFailed;
        ++m_currentRow;
        m_current.reset();
    }
    return Step::Ok;
}

} // namespace velto::debuglog
