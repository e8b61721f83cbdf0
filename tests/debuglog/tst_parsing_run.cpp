#include "debuglog/parsing_run.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

using namespace velto::debuglog;

namespace {

constexpr int kAgainstHangsMs = 120000;

// lines records as the debug terminal captures them (an even number), half of them C 1.
QString writeCapture(const QTemporaryDir& dir, int lines)
{
    const QByteArray pair
        = "D 1523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 M 1 "
          "C 1 S 0\t   12.50\r\n"
          "D 1524 RD 1531 RD2 1529 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 M 1 "
          "C 0 S 0\t   12.75\r\n";
    const QByteArray bytes = pair.repeated(lines / 2);
    const QString path = dir.filePath("capture.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

// Long enough that a run stopped at its first report cannot have ended by itself, even on a
// machine too busy to deliver the report for seconds.
constexpr int kLongLog = 32 * int(ParsingJob::kProgressEveryLines);

QStringList workbooks(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList({ "*.xlsx", ".*.xlsx" }, QDir::Files | QDir::Hidden, QDir::Name);
}

ParsingOutcome outcomeOf(const QSignalSpy& spy)
{
    return spy.isEmpty() ? ParsingOutcome() : spy.first().first().value<ParsingOutcome>();
}

} // namespace

class TstParsingRun : public QObject {
    Q_OBJECT
private slots:
    void reportsProgressAndFinishesOnce();
    void cancelEndsTheRunAndSavesNothing();
    void destroyedMidRunStopsTheWorker();
};

void TstParsingRun::reportsProgressAndFinishesOnce()
{
    QTemporaryDir dir;
    const QString log = writeCapture(dir, 20);
    QVERIFY(!log.isEmpty());
    ParsingRun run;
    QSignalSpy progressed(&run, &ParsingRun::progressed);
    QSignalSpy finished(&run, &ParsingRun::finished);
    QVERIFY(run.start(ParsingPaths::inFolder(log, dir.path())));
    QVERIFY(run.isRunning());
    QVERIFY(!run.start(ParsingPaths::inFolder(log, dir.path())));
    QVERIFY(finished.wait(kAgainstHangsMs));
    QVERIFY(!run.isRunning());
    const ParsingOutcome outcome = outcomeOf(finished);
    QVERIFY2(outcome.saved(), qPrintable(outcome.detail));
    QCOMPARE(outcome.allRows, 20);
    QCOMPARE(outcome.currentRows, 10);
    // Every report arrives before the end.
    QVERIFY(!progressed.isEmpty());
    QCOMPARE(progressed.last(), QVariantList({ qint64(20), qint64(20) }));
    QCOMPARE(workbooks(dir), QStringList({ "Taliq4_20Debug.xlsx", "TaliqAllDebug.xlsx" }));

    // A second run on the same object.
    QVERIFY(run.start(ParsingPaths::inFolder(log, dir.path())));
    QVERIFY(finished.wait(kAgainstHangsMs));
    QCOMPARE(finished.size(), 2);
}

void TstParsingRun::cancelEndsTheRunAndSavesNothing()
{
    QTemporaryDir dir;
    const QString log = writeCapture(dir, kLongLog);
    QVERIFY(!log.isEmpty());
    ParsingRun run;
    QSignalSpy finished(&run, &ParsingRun::finished);
    connect(&run, &ParsingRun::progressed, &run, &ParsingRun::cancel);
    QVERIFY(run.start(ParsingPaths::inFolder(log, dir.path())));
    QVERIFY(finished.wait(kAgainstHangsMs));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(outcomeOf(finished).result, ParsingOutcome::Result::Cancelled);
    QCOMPARE(workbooks(dir), QStringList());
}

void TstParsingRun::destroyedMidRunStopsTheWorker()
{
    QTemporaryDir dir;
    const QString log = writeCapture(dir, kLongLog);
    QVERIFY(!log.isEmpty());
    {
        ParsingRun run;
        QVERIFY(run.start(ParsingPaths::inFolder(log, dir.path())));
    }
    // Nothing waited for the worker: it stops on its own, leaving no workbook, not even a temporary one.
    QTRY_COMPARE_WITH_TIMEOUT(QThreadPool::globalInstance()->activeThreadCount(), 0, kAgainstHangsMs);
    QCOMPARE(workbooks(dir), QStringList());
}

QTEST_GUILESS_MAIN(TstParsingRun)
#include "tst_parsing_run.moc"
