#pragma once

#include "debuglog/parsing_row.h"

namespace velto::debuglog {

// Where finished record rows go: a workbook, or a list in a test. Rows arrive in rising order.
class ParsingRowSink {
public:
    virtual ~ParsingRowSink() = default;
    // rowNumber counts from 1 (the header row). False when the row could not be written.
    virtual bool writeRow(int rowNumber, const ParsingRow& row) = 0;
};

} // namespace velto::debuglog
