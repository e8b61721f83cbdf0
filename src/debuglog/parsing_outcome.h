#pragma once

#include <QMetaType>
#include <QString>

namespace velto::debuglog {

// The step of a parsing run that was under way when it ended.
enum class ParsingStage { Empty, OpenLog, FirstWorkbook, SecondWorkbook, Parsing, NoRecords, Done };

// How a parsing run ended.
struct ParsingOutcome {
    enum class Result { Saved, Failed, Cancelled };

    Result result = Result::Failed;
    ParsingStage stage = ParsingStage::Empty;
    QString message; // what the window shows for a failure
    QString detail; // what exactly went wrong, for the command line
    qint64 lines = 0; // lines read
    int allRows = 0; // record rows in the all-records workbook
    int currentRows = 0; // record rows in the 4-20 mA workbook
    qint64 unfinishedLine = 0; // the last line, left out for want of a line end; 0: none

    bool saved() const { return result == Result::Saved; }
};

// The window's message for a failure in that stage.
QString parsingStageMessage(ParsingStage stage);
// What a run that left out its unfinished last line says about it; empty when it left out none.
QString unfinishedLineNote(const ParsingOutcome& outcome);

} // namespace velto::debuglog

Q_DECLARE_METATYPE(velto::debuglog::ParsingOutcome)
