#pragma once

#include "debuglog/parsing_row_sink.h"

#include <QString>

struct lxw_workbook;
struct lxw_worksheet;

namespace velto::debuglog {

// One .xlsx workbook with the worksheet "Sheet1": the headers in row 1, then record rows, numbers
// as numbers. Rows stream to a temporary file as they come (constant memory), so a log of any
// size takes the same memory; the workbook file itself is made only by close().
class WorkbookWriter final : public ParsingRowSink {
public:
    WorkbookWriter() = default;
    ~WorkbookWriter() override; // without close(), nothing is written
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // Starts the workbook that close() will write to path, with the headers in row 1.
    bool open(const QString& path);
    bool writeRow(int rowNumber, const ParsingRow& row) override;
    // Assembles and writes the file; this is where the time goes for a big log.
    bool close();

    QString errorText() const { return m_error; }

private:
    bool fail(int error);
    void discard();

    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    QString m_error;
};

} // namespace velto::debuglog
