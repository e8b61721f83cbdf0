#include "debuglog/parsing_job.h"
#include "support/xlsx_sheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace velto::debuglog;
using velto::test::readXlsxSheet;
using velto::test::XlsxSheet;

Q_DECLARE_METATYPE(velto::debuglog::ParsingStage)

namespace {

const QStringList kHeaders = { "Distance", "Power", "Gain", "Zone", "Amplitude", "Treshold", "Pulses",
    "Timer", "TBmin", "TBmax", "Mode", "Statue", "Distance Jump", "Alg. Decision", "Temperature", "4_20",
    "Raw Distance", "Raw Distance2", "Time" };

QString record(int distance, int c, const QString& stamp)
{
    return QStringLiteral(
        "D %1 RD %2 RD2 %3 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 M 1 C %4 "
        "S 0\t%5")
        .arg(distance)
        .arg(distance + 7)
        .arg(distance + 5)
        .arg(c)
        .arg(stamp);
}

// A capture as the debug terminal writes it: each line with its tab, stamp and CR LF.
const QStringList kCapture = {
    "Taliq485 v2.3 boot\t    0.01",
    "R_SEARCH : Current Search Distance =  9999\t    0.02", // before any record: changes nothing
    record(1523, 1, "    0.50"), "R_SEARCH : Current Search Distance =  1600\t    0.55",
    "---> Enter to QuickSearch\t    0.56", "D: DIST 1523 RAW 1530\t    0.60", record(1524, 0, "    1.00"),
    "Decrease gain\t    1.02",
    "R_SEARCH : Occur jump\t    1.03", // a C 0 record: the 4-20 mA row before it stays as it is
    "D 1700 RD 1707 RD2 1705 P 44 G 11 Z 2 A 790 Th 150 N 4 Tn 1800 Tx 2600 Tp -2 M 1 C 1 S 4\t   11.25",
    "R_SEARCH : search is failed\t   11.30",
    record(1701, 0, "   12.00"), // trailing C 0 record: no row of its own in the 4-20 mA workbook
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray captureBytes(const QStringList& lines)
{
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

// Column letter and row of a cell: cellRef(1, 2) is "A2".
QString cellRef(int column, int row)
{
    return QChar(u'A' + column - 1) + QString::number(row);
}

// Row r of the sheet as "v1,v2,..." over the 19 columns, empty cells empty.
QString rowText(const XlsxSheet& sheet, int row)
{
    QStringList cells;
    for (int c = 1; c <= 19; ++c) {
        const QString ref = cellRef(c, row);
        cells << (sheet.has(ref) ? sheet.text(ref) : QString());
        if (sheet.has(ref) && row > 1 && !sheet.cells.value(ref).number)
            cells.last() += QStringLiteral("(text!)");
    }
    return cells.join(QLatin1Char(','));
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TstParsingJob : public QObject {
    Q_OBJECT
private slots:
    void captureBecomesTwoWorkbooks();
    void cutLastLineIsLeftOut_data();
    void cutLastLineIsLeftOut();
    void failedStagesSaveNothing_data();
    void failedStagesSaveNothing();
    void cancelledRunSavesNothing();
    void workbooksAreWholeZipsPackedFast();
};

void TstParsingJob::captureBecomesTwoWorkbooks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath("capture.txt");
    writeFile(log, captureBytes(kCapture));
    const ParsingPaths paths = ParsingPaths::inFolder(log, dir.path());
    QCOMPARE(paths.allWorkbook, dir.filePath("TaliqAllDebug.xlsx"));
    QCOMPARE(paths.currentWorkbook, dir.filePath("Taliq4_20Debug.xlsx"));
    // Workbooks of an earlier run are replaced.
    writeFile(paths.allWorkbook, "old");
    writeFile(paths.currentWorkbook, "old");

    std::atomic<bool> cancel = false;
    QList<QPair<qint64, qint64>> progress;
    ParsingJob job(paths, cancel, [&](qint64 done, qint64 count) { progress.append({ done, count }); });
    const ParsingOutcome outcome = job.run();
    QVERIFY2(outcome.saved(), qPrintable(outcome.detail));
    QCOMPARE(outcome.lines, kCapture.size());
    QCOMPARE(outcome.allRows, 4);
    QCOMPARE(outcome.currentRows, 2);
    QCOMPARE(progress.first(), qMakePair(qint64(0), qint64(kCapture.size())));
    QCOMPARE(progress.last(), qMakePair(qint64(kCapture.size()), qint64(kCapture.size())));
    QCOMPARE(
        entries(dir.path()), QStringList({ "Taliq4_20Debug.xlsx", "TaliqAllDebug.xlsx", "capture.txt" }));

    const XlsxSheet all = readXlsxSheet(paths.allWorkbook);
    QVERIFY2(all.error.isEmpty(), qPrintable(all.error));
    QCOMPARE(all.sheetNames, QStringList("Sheet1"));
    QCOMPARE(rowText(all, 1), kHeaders.join(QLatin1Char(',')));
    QCOMPARE(rowText(all, 2), QString("1523,45,12,3,812,150,4,2200,1800,2600,1,0,1600,2,23,1,1530,1528,0.5"));
    QCOMPARE(rowText(all, 3), QString("1524,45,12,3,812,150,4,2200,1800,2600,1,0,0,1,23,0,1531,1529,1"));
    QCOMPARE(rowText(all, 4), QString("1700,44,11,2,790,150,4,,1800,2600,1,4,0,3,-2,1,1707,1705,11.25"));
    QCOMPARE(rowText(all, 5), QString("1701,45,12,3,812,150,4,2200,1800,2600,1,0,0,0,23,0,1708,1706,12"));
    QCOMPARE(all.lastRow, 5);
    QCOMPARE(all.cells.size(), 19 + 4 * 19 - 1);

    const XlsxSheet current = readXlsxSheet(paths.currentWorkbook);
    QVERIFY2(current.error.isEmpty(), qPrintable(current.error));
    QCOMPARE(current.sheetNames, QStringList("Sheet1"));
    QCOMPARE(rowText(current, 1), kHeaders.join(QLatin1Char(',')));
    QCOMPARE(rowText(current, 2), rowText(all, 2));
    QCOMPARE(rowText(current, 3), rowText(all, 4));
    QCOMPARE(current.lastRow, 3);
}

// A capture stopped inside a line: that line is left out and named, the rest is saved.
void TstParsingJob::cutLastLineIsLeftOut_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("allRows");
    QTest::addColumn<int>("currentRows");
    QTest::addColumn<QString>("note");

    const QByteArray good = captureBytes(kCapture);
    const QString note13
        = " The last line (line 13) has no line end, as when a capture is cut short: it was left out.";
    QTest::newRow("ends with its line end") << good << 12 << 4 << 2 << "";
    QTest::newRow("cut inside a record") << good + "D 1800 RD 18" << 12 << 4 << 2 << note13;
    // It would read as a record, with the time 12 where 12.50 was coming.
    QTest::newRow("cut inside the stamp")
        << good + record(1800, 1, "   12").toLatin1() << 12 << 4 << 2 << note13;
    QTest::newRow("cut between CR and LF")
        << good + record(1800, 1, "   12.50").toLatin1() + "\r" << 12 << 4 << 2 << note13;
    QTest::newRow("cut in a line that would be ignored") << good + "R_SEARCH : Occ" << 12 << 4 << 2 << note13;
}

void TstParsingJob::cutLastLineIsLeftOut()
{
    QFETCH(QByteArray, log);
    QFETCH(int, lines);
    QFETCH(int, allRows);
    QFETCH(int, currentRows);
    QFETCH(QString, note);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString logPath = dir.filePath("capture.txt");
    writeFile(logPath, log);
    const ParsingPaths paths = ParsingPaths::inFolder(logPath, dir.path());
    std::atomic<bool> cancel = false;
    const ParsingOutcome outcome = ParsingJob(paths, cancel).run();
    QVERIFY2(outcome.saved(), qPrintable(outcome.message + " / " + outcome.detail));
    QCOMPARE(outcome.lines, lines);
    QCOMPARE(outcome.allRows, allRows);
    QCOMPARE(outcome.currentRows, currentRows);
    QCOMPARE(parsingSavedMessage(outcome, paths),
        QStringLiteral("4 rows saved to TaliqAllDebug.xlsx and 2 rows to Taliq4_20Debug.xlsx in %1.")
                .arg(QDir::toNativeSeparators(dir.path()))
            + note);
    QCOMPARE(readXlsxSheet(paths.allWorkbook).lastRow, 1 + allRows);
}

void TstParsingJob::failedStagesSaveNothing_data()
{
    QTest::addColumn<QByteArray>("log"); // empty: no log file at all
    QTest::addColumn<QString>("logAt"); // empty: capture.txt holding the log; "fifo"; or a device
    QTest::addColumn<QString>("allFolder"); // relative to the test folder
    QTest::addColumn<QString>("currentFolder");
    QTest::addColumn<ParsingStage>("stage");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail"); // what it holds

    const QByteArray good = captureBytes(kCapture);
    QStringList bad = kCapture;
    bad[6].replace("Th 150", "Th 15O");
    const QString noRecords = "TXT File Holds No Records: the Workbooks Were Kept";
    QTest::newRow("empty log") << QByteArray("") << ""
                               << "out"
                               << "out" << ParsingStage::Empty << "TXT File is Empty"
                               << "";
    QTest::newRow("no log") << QByteArray() << ""
                            << "out"
                            << "out" << ParsingStage::OpenLog << "Problen to Open TXT File"
                            << "";
    QTest::newRow("a pipe") << QByteArray() << "fifo"
                            << "out"
                            << "out" << ParsingStage::OpenLog << "Problen to Open TXT File"
                            << "it is not a file";
    QTest::newRow("a device without end") << QByteArray() << "/dev/zero"
                                          << "out"
                                          << "out" << ParsingStage::OpenLog << "Problen to Open TXT File"
                                          << "it is not a file";
    QTest::newRow("first workbook's folder cannot be written")
        << good << ""
        << "file"
        << "out" << ParsingStage::FirstWorkbook << "Problen with Excel File"
        << "";
    QTest::newRow("second workbook's folder cannot be written")
        << good << ""
        << "out"
        << "file" << ParsingStage::SecondWorkbook << "Problen with Excel File"
        << "";
    QTest::newRow("bad value") << captureBytes(bad) << ""
                               << "out"
                               << "out" << ParsingStage::Parsing
                               << "Incorrect TXT File Format in line 7 (Th: not a number)"
                               << "line 7: Th: not a number";
    QTest::newRow("bad line before a cut last line")
        << good + "D 1 RD x R\r\nD 2 RD"
        << ""
        << "out"
        << "out" << ParsingStage::Parsing << "Incorrect TXT File Format in line 13 (RD: not a number)"
        << "line 13: RD: not a number";
    QTest::newRow("record line too long")
        << "noise\r\nD 1 " + QByteArray(2 << 20, ' ') + "R\r\n"
        << ""
        << "out"
        << "out" << ParsingStage::Parsing << "Incorrect TXT File Format in line 2 (line too long to be read)"
        << "line 2: line too long";
    QTest::newRow("a HEX file chosen by mistake")
        << QByteArray(":020000040000FA\r\n:10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n")
        << ""
        << "out"
        << "out" << ParsingStage::NoRecords << noRecords << "no record line";
    QTest::newRow("search lines only") << QByteArray("R_SEARCH : Occur jump\t 1.00\r\n") << ""
                                       << "out"
                                       << "out" << ParsingStage::NoRecords << noRecords << "in 1 lines";
    QTest::newRow("one record, cut") << QByteArray("D 1523 RD 15") << ""
                                     << "out"
                                     << "out" << ParsingStage::NoRecords << noRecords << "in 0 lines";
}

void TstParsingJob::failedStagesSaveNothing()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, logAt);
    QFETCH(QString, allFolder);
    QFETCH(QString, currentFolder);
    QFETCH(ParsingStage, stage);
    QFETCH(QString, message);
    QFETCH(QString, detail);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("out"));
    writeFile(dir.filePath("file"), "a file where a folder should be");
    QString logPath = dir.filePath("capture.txt");
    if (!log.isNull())
        writeFile(logPath, log);
    if (logAt == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(logPath).constData(), 0600), 0);
    else if (!logAt.isEmpty())
        logPath = logAt;
    if (!QFileInfo::exists(logPath) && !logAt.isEmpty())
        QSKIP("no such device here");
    const ParsingPaths paths { logPath, dir.filePath(allFolder + "/TaliqAllDebug.xlsx"),
        dir.filePath(currentFolder + "/Taliq4_20Debug.xlsx") };
    // An earlier run's workbook stays as it was.
    writeFile(dir.filePath("out/TaliqAllDebug.xlsx"), "earlier");

    std::atomic<bool> cancel = false;
    const ParsingOutcome outcome = ParsingJob(paths, cancel).run();
    QCOMPARE(outcome.result, ParsingOutcome::Result::Failed);
    QCOMPARE(outcome.stage, stage);
    QCOMPARE(outcome.message, message);
    QVERIFY(outcome.message.startsWith(parsingStageMessage(stage)));
    QVERIFY2(outcome.detail.contains(detail), qPrintable(outcome.detail));
    QCOMPARE(entries(dir.filePath("out")), QStringList("TaliqAllDebug.xlsx"));
    QFile earlier(dir.filePath("out/TaliqAllDebug.xlsx"));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier"));
}

void TstParsingJob::cancelledRunSavesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList lines;
    for (int i = 0; i < 3 * int(ParsingJob::kProgressEveryLines); ++i)
        lines << record(1000 + i % 500, i % 2, QString::number(i * 0.25, 'f', 2));
    const QString log = dir.filePath("capture.txt");
    writeFile(log, captureBytes(lines));

    std::atomic<bool> cancel = false;
    int reports = 0;
    // Cancelled while parsing: after the count, at the first report of lines done.
    ParsingJob job(ParsingPaths::inFolder(log, dir.path()), cancel, [&](qint64 done, qint64) {
        ++reports;
        if (done > 0)
            cancel = true;
    });
    const ParsingOutcome outcome = job.run();
    QCOMPARE(outcome.result, ParsingOutcome::Result::Cancelled);
    QCOMPARE(reports, 2);
    QCOMPARE(entries(dir.path()), QStringList("capture.txt"));
}

// The workbooks are packed at the zip layer's fastest level by a stand-in for one of its calls: the
// files must still pass an independent zip check, and the stand-in must really be the one called.
void TstParsingJob::workbooksAreWholeZipsPackedFast()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList lines;
    for (int i = 0; i < 2000; ++i)
        lines << record(1000 + i % 500, i % 2, QString::number(i * 0.25, 'f', 2));
    const QString log = dir.filePath("capture.txt");
    writeFile(log, captureBytes(lines));
    const std::atomic<bool> cancel = false;
    const ParsingPaths paths = ParsingPaths::inFolder(log, dir.path());
    QVERIFY(ParsingJob(paths, cancel).run().saved());
    for (const QString& workbook : { paths.allWorkbook, paths.currentWorkbook }) {
        QString error;
        const QByteArray test = velto::test::unzipTool("unzip", { "-t", workbook }, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(test.contains("No errors detected"), test.constData());
        const QByteArray info
            = velto::test::unzipTool("zipinfo", { "-v", workbook, "xl/worksheets/sheet1.xml" }, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
#ifdef Q_OS_LINUX
        static const QRegularExpression fastest(R"(compression sub-type \(deflation\):\s+superfast)");
        QVERIFY2(QString::fromLatin1(info).contains(fastest), info.constData());
#endif
    }
    const XlsxSheet all = readXlsxSheet(paths.allWorkbook);
    QVERIFY2(all.error.isEmpty(), qPrintable(all.error));
    QCOMPARE(all.lastRow, 2001);
    QCOMPARE(
        rowText(all, 2001), QString("1499,45,12,3,812,150,4,2200,1800,2600,1,0,0,0,23,1,1506,1504,499.75"));
}

QTEST_GUILESS_MAIN(TstParsingJob)
#include "tst_parsing_job.moc"
