#include "debuglog/parsing_log_line.h"

#include <QTest>

#include <string>

using namespace velto::debuglog;
using Kind = ParsingLogLine::Kind;
using Problem = ParsingLogLine::Problem;
using Col = ParsingColumn;

Q_DECLARE_METATYPE(ParsingLogLine::Kind)
Q_DECLARE_METATYPE(ParsingLogLine::Problem)

namespace {

// A record as the sensor prints it, with the tab and stamp the capture adds.
const QByteArray kRecord = "D 1523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 "
                           "Tp 23 M 1 C 1 S 0\t   12.50";

ParsingLogLine parse(const QByteArray& line)
{
    return parseLogLine(std::string_view(line.constData(), std::size_t(line.size())));
}

// "column=value ..." for the written columns, in column order.
QString columns(const ParsingRow& row)
{
    QStringList out;
    for (int c = 1; c <= ParsingRow::kColumns; ++c) {
        if (row.has(ParsingColumn(c)))
            out << QStringLiteral("%1=%2").arg(c).arg(row.value(ParsingColumn(c)));
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class TstParsingLogLine : public QObject {
    Q_OBJECT
private slots:
    void recordFields_data();
    void recordFields();
    void malformedRecords_data();
    void malformedRecords();
    void searchAndOtherLines_data();
    void searchAndOtherLines();
    void anyBytesAreTotal();
};

void TstParsingLogLine::recordFields_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("currentOutput");

    const QString all
        = "1=1523 2=45 3=12 4=3 5=812 6=150 7=4 8=2200 9=1800 10=2600 11=1 12=0 13=0 14=0 15=23 "
          "16=1 17=1530 18=1528 19=12.5";
    QTest::newRow("every tag") << kRecord << all << true;
    QTest::newRow("no spaces") << QByteArray(
        "D1523RD1530RD21528P45G12Z3A812Th150N4Ti2200Tn1800Tx2600Tp23M1C1S0\t12.50")
                               << all << true;
    QTest::newRow("spaces inside a value left out") << QByteArray(
        "D 1 523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 8 1 2 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 M 1 "
        "C 1 S 0\t12.50") << all << true;
    QTest::newRow("C 0 is no 4-20 record")
        << QByteArray(kRecord).replace("C 1", "C 0") << QString(all).replace("16=1", "16=0") << false;
    QTest::newRow("C 2 is no 4-20 record")
        << QByteArray(kRecord).replace("C 1", "C 2") << QString(all).replace("16=1", "16=2") << false;
    QTest::newRow("negative temperature")
        << QByteArray(kRecord).replace("Tp 23", "Tp -5") << QString(all).replace("15=23", "15=-5") << true;
    QTest::newRow("missing tag leaves its column empty")
        << QByteArray(kRecord).replace("Ti 2200 ", "") << QString(all).remove("8=2200 ") << true;
    QTest::newRow("only D") << QByteArray("D 77 R") << QString("1=77 13=0 14=0") << false;
    QTest::newRow("status then stamp without a blank")
        << QByteArray("D 5 RS3.50") << QString("1=5 12=3 13=0 14=0 19=0.5") << false;
    QTest::newRow("stamp without a leading zero")
        << QByteArray("D 5 R S 7\t.50") << QString("1=5 12=7 13=0 14=0 19=0.5") << false;
    QTest::newRow("blanks after the stamp")
        << QByteArray("D 5 R S 7 \t 31.25 \t") << QString("1=5 12=7 13=0 14=0 19=31.25") << false;
    QTest::newRow("first occurrence of a tag wins")
        << QByteArray("D 5 R P 1 G 2 Z 3 A 4 T P 9 G") << QString("1=5 2=1 3=2 4=3 5=4 13=0 14=0") << false;
}

void TstParsingLogLine::recordFields()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    QFETCH(bool, currentOutput);
    const ParsingLogLine parsed = parse(line);
    QCOMPARE(parsed.kind, Kind::Record);
    QCOMPARE(columns(parsed.record), expected);
    QCOMPARE(parsed.currentOutput, currentOutput);
}

void TstParsingLogLine::malformedRecords_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<ParsingLogLine::Problem>("problem");
    QTest::addColumn<QString>("text");

    QTest::newRow("value not a number")
        << QByteArray(kRecord).replace("Th 150", "Th 1x0") << Problem::NotANumber << "Th: not a number";
    QTest::newRow("empty value") << QByteArray(kRecord).replace("G 12", "G ") << Problem::NotANumber
                                 << "G: not a number";
    QTest::newRow("decimal value") << QByteArray(kRecord).replace("P 45", "P 4.5") << Problem::NotANumber
                                   << "P: not a number";
    QTest::newRow("past 32 bits") << QByteArray(kRecord).replace("D 1523", "D 2147483648")
                                  << Problem::NotANumber << "D: not a number";
    QTest::newRow("end letter never follows")
        << QByteArray("D 1523 and nothing else") << Problem::NoEndLetter << "D: its value has no end";
    QTest::newRow("just D") << QByteArray("D") << Problem::NoEndLetter << "D: its value has no end";
    QTest::newRow("status missing") << QByteArray("D 5 R S   ") << Problem::NoStatus
                                    << "S: no status character";
    QTest::newRow("status a letter") << QByteArray("D 5 R S x\t12.50") << Problem::NotANumber
                                     << "S: not a number";
    QTest::newRow("no stamp") << QByteArray("D 5 R S 1") << Problem::NotANumber << "Time: not a number";
    QTest::newRow("stamp not a number")
        << QByteArray("D 5 R S 1\t12.5x") << Problem::NotANumber << "Time: not a number";
    QTest::newRow("stamp inf") << QByteArray("D 5 R S 1\tinf") << Problem::NotANumber << "Time: not a number";
}

void TstParsingLogLine::malformedRecords()
{
    QFETCH(QByteArray, line);
    QFETCH(ParsingLogLine::Problem, problem);
    QFETCH(QString, text);
    const ParsingLogLine parsed = parse(line);
    QCOMPARE(parsed.kind, Kind::Malformed);
    QCOMPARE(parsed.problem, problem);
    QCOMPARE(parsed.problemText(), text);
}

void TstParsingLogLine::searchAndOtherLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<ParsingLogLine::Kind>("kind");
    QTest::addColumn<int>("number");

    QTest::newRow("search distance") << QByteArray("R_SEARCH : Current Search Distance =  1234\t   15.00")
                                     << Kind::SearchDistance << 1234;
    QTest::newRow("search distance, five digits then more")
        << QByteArray("R_SEARCH : Current Search Distance =  123456") << Kind::SearchDistance << 12345;
    QTest::newRow("search distance, negative")
        << QByteArray("R_SEARCH : Current Search Distance =  -120") << Kind::SearchDistance << -120;
    QTest::newRow("search distance, not a number")
        << QByteArray("R_SEARCH : Current Search Distance =  abc") << Kind::Malformed << 0;
    QTest::newRow("search distance, nothing there")
        << QByteArray("R_SEARCH : Current Search Distance =") << Kind::Malformed << 0;
    QTest::newRow("search distance, split digits")
        << QByteArray("R_SEARCH : Current Search Distance =  12 34") << Kind::Malformed << 0;
    QTest::newRow("occur jump") << QByteArray("R_SEARCH : Occur jump 1520 -> 1700") << Kind::SearchEvent << 1;
    QTest::newRow("quick search") << QByteArray("---> Enter to QuickSearch\t 3.00") << Kind::SearchEvent << 2;
    QTest::newRow("search failed") << QByteArray("R_SEARCH : search is failed") << Kind::SearchEvent << 3;
    QTest::newRow("D: DIST") << QByteArray("D: DIST 1523 RAW 1530\t   4.00") << Kind::Other << 0;
    QTest::newRow("Decreas") << QByteArray("Decrease gain to 11\t   5.00") << Kind::Other << 0;
    QTest::newRow("lower-case d") << QByteArray("d 1523 RD 1530") << Kind::Other << 0;
    QTest::newRow("blank") << QByteArray("") << Kind::Other << 0;
    QTest::newRow("other R_SEARCH") << QByteArray("R_SEARCH : start") << Kind::Other << 0;
}

void TstParsingLogLine::searchAndOtherLines()
{
    QFETCH(QByteArray, line);
    QFETCH(ParsingLogLine::Kind, kind);
    QFETCH(int, number);
    const ParsingLogLine parsed = parse(line);
    QCOMPARE(parsed.kind, kind);
    if (kind != Kind::Malformed && kind != Kind::Other)
        QCOMPARE(parsed.number, number);
}

void TstParsingLogLine::anyBytesAreTotal()
{
    // Every cut of real lines, and bytes of every value: a value or a rejection, never a read past
    // the end (the sanitizers watch the copies, which end exactly where the view does).
    const QList<QByteArray> lines = { kRecord, "R_SEARCH : Current Search Distance =  1234\t   15.00",
        "---> Enter to QuickSearch", QByteArray("D\0R\xff S\x80", 8) };
    for (const QByteArray& line : lines) {
        for (qsizetype n = 0; n <= line.size(); ++n) {
            const std::string copy(line.constData(), std::size_t(n));
            const ParsingLogLine parsed = parseLogLine(copy);
            QVERIFY(parsed.kind != Kind::Malformed || parsed.problem != Problem::None);
        }
    }
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(char(b));
    QCOMPARE(parseLogLine("D" + bytes).kind, Kind::Malformed);
}

QTEST_GUILESS_MAIN(TstParsingLogLine)
#include "tst_parsing_log_line.moc"
