#include "debuglog/parsing_row_cursor.h"

#include <QTest>

#include <vector>

using namespace velto::debuglog;
using Kind = ParsingLogLine::Kind;
using Step = ParsingRowCursor::Step;

namespace {

// Keeps the rows it is given; refuses every row from failAt on.
struct FakeSink final : ParsingRowSink {
    std::vector<std::pair<int, ParsingRow>> rows;
    int failAt = -1;
    bool keep = true;
    int calls = 0;

    bool writeRow(int rowNumber, const ParsingRow& row) override
    {
        if (failAt >= 0 && calls >= failAt)
            return false;
        ++calls;
        if (keep)
            rows.emplace_back(rowNumber, row);
        return true;
    }
    // "row:distance/jump/decision" per row.
    QStringList summary() const
    {
        QStringList out;
        for (const auto& [number, row] : rows)
            out << QStringLiteral("%1:%2/%3/%4")
                       .arg(number)
                       .arg(row.value(ParsingColumn::Distance))
                       .arg(row.value(ParsingColumn::DistanceJump))
                       .arg(row.value(ParsingColumn::AlgDecision));
        return out;
    }
};

ParsingLogLine record(int distance, bool currentOutput)
{
    ParsingLogLine line;
    line.kind = Kind::Record;
    line.record.set(ParsingColumn::Distance, distance);
    line.record.set(ParsingColumn::Current4_20, currentOutput ? 1 : 0);
    line.record.set(ParsingColumn::DistanceJump, 0);
    line.record.set(ParsingColumn::AlgDecision, 0);
    line.currentOutput = currentOutput;
    return line;
}

ParsingLogLine search(Kind kind, int number)
{
    ParsingLogLine line;
    line.kind = kind;
    line.number = number;
    return line;
}

} // namespace

class TstParsingRowCursor : public QObject {
    Q_OBJECT
private slots:
    void recordsFillBothWorkbooksFrontToBack();
    void searchLinesChangeThePreviousRecord();
    void stopsAtTheWorksheetRowLimit();
    void aRefusedRowStopsTheRun();
};

void TstParsingRowCursor::recordsFillBothWorkbooksFrontToBack()
{
    FakeSink all;
    FakeSink current;
    ParsingRowCursor cursor(all, current);
    for (const auto& [distance, c] :
        { std::pair { 10, true }, { 11, false }, { 12, false }, { 13, true }, { 14, false } })
        QCOMPARE(cursor.add(record(distance, c)), Step::Ok);
    QCOMPARE(cursor.add(ParsingLogLine {}), Step::Ok);
    QCOMPARE(cursor.finish(), Step::Ok);

    QCOMPARE(all.summary(), QStringList({ "2:10/0/0", "3:11/0/0", "4:12/0/0", "5:13/0/0", "6:14/0/0" }));
    // The C 0 records only hold the 4-20 mA cursor; the trailing one leaves no row of zeros behind.
    QCOMPARE(current.summary(), QStringList({ "2:10/0/0", "3:13/0/0" }));
    QCOMPARE(cursor.allRows(), 5);
    QCOMPARE(cursor.currentRows(), 2);
}

void TstParsingRowCursor::searchLinesChangeThePreviousRecord()
{
    FakeSink all;
    FakeSink current;
    ParsingRowCursor cursor(all, current);
    // Before any record: no row to change, the header row stays as it is.
    cursor.add(search(Kind::SearchDistance, 999));
    cursor.add(search(Kind::SearchEvent, 3));
    cursor.add(record(10, true));
    cursor.add(search(Kind::SearchDistance, 120));
    cursor.add(search(Kind::SearchEvent, 2));
    cursor.add(record(11, false));
    // After a C 0 record: its own row only, not the 4-20 mA row of the record before.
    cursor.add(search(Kind::SearchEvent, 1));
    cursor.add(search(Kind::SearchDistance, 130));
    cursor.add(record(12, true));
    cursor.add(search(Kind::SearchEvent, 3));
    cursor.add(search(Kind::SearchEvent, 1)); // the last search line wins
    QCOMPARE(cursor.finish(), Step::Ok);

    QCOMPARE(all.summary(), QStringList({ "2:10/120/2", "3:11/130/1", "4:12/0/1" }));
    QCOMPARE(current.summary(), QStringList({ "2:10/120/2", "3:12/0/1" }));
}

void TstParsingRowCursor::stopsAtTheWorksheetRowLimit()
{
    FakeSink all;
    FakeSink current;
    all.keep = current.keep = false;
    ParsingRowCursor cursor(all, current);
    const ParsingLogLine line = record(1, true);
    const int fits = ParsingRowCursor::kLastRow - 1; // row 1 holds the headers
    for (int i = 0; i < fits; ++i) {
        if (cursor.add(line) != Step::Ok)
            QFAIL(qPrintable(QStringLiteral("refused record %1").arg(i)));
    }
    QCOMPARE(cursor.add(line), Step::RowLimit);
    QCOMPARE(cursor.allRows(), fits);
    QCOMPARE(cursor.finish(), Step::Ok);
    QCOMPARE(all.calls, fits);
    QCOMPARE(current.calls, fits);
}

void TstParsingRowCursor::aRefusedRowStopsTheRun()
{
    FakeSink all;
    FakeSink current;
    current.failAt = 1;
    ParsingRowCursor cursor(all, current);
    QCOMPARE(cursor.add(record(1, true)), Step::Ok);
    QCOMPARE(cursor.add(record(2, true)), Step::Ok);
    QCOMPARE(cursor.add(record(3, false)), Step::WriteFailed);

    FakeSink all2;
    FakeSink current2;
    all2.failAt = 0;
    ParsingRowCursor cursor2(all2, current2);
    QCOMPARE(cursor2.add(record(1, false)), Step::Ok);
    QCOMPARE(cursor2.finish(), Step::WriteFailed);
}

QTEST_GUILESS_MAIN(TstParsingRowCursor)
#include "tst_parsing_row_cursor.moc"
