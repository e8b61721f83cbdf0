// Debug-log parsing on any file: the lines as the reader cuts them, each read by the line parser,
// records and search lines placed by the row cursor into workbooks that only check what they get.
#include "debuglog/parsing_line_reader.h"
#include "debuglog/parsing_log_line.h"
#include "debuglog/parsing_row_cursor.h"
#include "fuzz_input.h"

#include <QBuffer>

#include <cstdlib>

using namespace velto::debuglog;

namespace {

// Rows must come in rising order, each a record's with its search columns filled.
struct CheckingSink final : ParsingRowSink {
    int lastRow = ParsingRowCursor::kFirstRecordRow - 1;
    bool currentOnly = false;

    bool writeRow(int rowNumber, const ParsingRow& row) override
    {
        if (rowNumber != lastRow + 1 || !row.has(ParsingColumn::DistanceJump)
            || !row.has(ParsingColumn::AlgDecision))
            std::abort();
        if (currentOnly && row.value(ParsingColumn::Current4_20) != 1)
            std::abort();
        lastRow = rowNumber;
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const QByteArray bytes = input.rest().toByteArray();
    QBuffer file;
    file.setData(bytes);
    file.open(QIODevice::ReadOnly);

    CheckingSink all;
    CheckingSink current;
    current.currentOnly = true;
    ParsingRowCursor cursor(all, current);
    ParsingLineReader reader(file);
    std::string_view text;
    bool cut = false;
    while (reader.next(text, cut)) {
        if (text.size() > std::size_t(ParsingLineReader::kMaxLineBytes)
            || text.find('\n') != std::string_view::npos)
            std::abort();
        const ParsingLogLine line = parseLogLine(text);
        if (line.kind == ParsingLogLine::Kind::Malformed && line.problem == ParsingLogLine::Problem::None)
            std::abort();
        if (line.kind == ParsingLogLine::Kind::Record
            && line.currentOutput != (line.record.value(ParsingColumn::Current4_20) == 1))
            std::abort();
        if (cursor.add(line) != ParsingRowCursor::Step::Ok)
            std::abort();
    }
    if (reader.failed() || cursor.finish() != ParsingRowCursor::Step::Ok)
        std::abort();
    return 0;
}
