#pragma once

#include "debuglog/parsing_row.h"

#include <QString>

#include <string_view>

namespace velto::debuglog {

// What one line of a captured debug log means to the workbooks.
struct ParsingLogLine {
    enum class Kind {
        Other, // ignored
        Record, // one measurement: a row of both workbooks, of the 4-20 mA one when currentOutput
        SearchDistance, // number goes to the previous record's "Distance Jump"
        SearchEvent, // number (1..3) goes to the previous record's "Alg. Decision"
        Malformed, // a record or search line that cannot be read: the log's format is wrong
    };
    enum class Problem { None, NotANumber, NoEndLetter, NoStatus, TooLong };

    Kind kind = Kind::Other;
    ParsingRow record;
    bool currentOutput = false; // the record's C value is 1
    qint32 number = 0;
    Problem problem = Problem::None;
    std::string_view problemTag; // the tag (or line form) that failed; points into static text

    // "tag Th: not a number" and the like, for the command line's report.
    QString problemText() const;
};

// Reads one line without its line end. Takes any bytes of any length and never reads past them.
ParsingLogLine parseLogLine(std::string_view line);

} // namespace velto::debuglog
