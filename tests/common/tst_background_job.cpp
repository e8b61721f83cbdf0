#include "common/background_job.h"

#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <memory>

using namespace velto;

namespace {

constexpr int kAgainstHangsMs = 60000;

using CountingJob = BackgroundJob<int, int>;

// Reports 1..count, then returns count.
CountingJob::Work countTo(int count)
{
    return [count](CountingJob::Control& control) {
        for (int i = 1; i <= count; ++i)
            control.report(i);
        return count;
    };
}

} // namespace

class TstBackgroundJob : public QObject {
    Q_OBJECT
private slots:
    void reportsComeInOrderBeforeTheResult();
    void ownerGoneFirstDropsTheResult();
};

void TstBackgroundJob::reportsComeInOrderBeforeTheResult()
{
    CountingJob job;
    QList<int> heard; // reports as they are, results negated
    bool chained = false;
    const auto report = [&heard](int n) { heard << n; };
    QVERIFY(job.start(
        countTo(500),
        [&](int result) {
            heard << -result;
            QVERIFY(!job.isRunning());
            // The next job may start from the end of the last.
            chained = job.start(
                countTo(2), [&heard](int r) { heard << -r; }, report);
        },
        report));
    QVERIFY(job.isRunning());
    QVERIFY(!job.start(countTo(1), [](int) {}));
    QTRY_VERIFY_WITH_TIMEOUT(heard.size() == 500 + 1 + 2 + 1, kAgainstHangsMs);
    QVERIFY(chained);
    QList<int> expected;
    for (int i = 1; i <= 500; ++i)
        expected << i;
    expected << -500 << 1 << 2 << -2;
    QCOMPARE(heard, expected);
    QVERIFY(!job.isRunning());
}

void TstBackgroundJob::ownerGoneFirstDropsTheResult()
{
    auto gate = std::make_shared<QSemaphore>();
    auto sawCancel = std::make_shared<std::atomic<bool>>(false);
    bool heard = false;
    {
        CountingJob job;
        QVERIFY(job.start(
            [gate, sawCancel](CountingJob::Control& control) {
                gate->acquire();
                sawCancel->store(control.cancelRequested());
                control.report(1);
                return 1;
            },
            [&heard](int) { heard = true; }, [&heard](int) { heard = true; }));
    } // returns at once, the work still held at the gate
    gate->release();
    QTRY_COMPARE_WITH_TIMEOUT(QThreadPool::globalInstance()->activeThreadCount(), 0, kAgainstHangsMs);
    QVERIFY(sawCancel->load());
    QCoreApplication::sendPostedEvents();
    QVERIFY(!heard);
}

QTEST_GUILESS_MAIN(TstBackgroundJob)
#include "tst_background_job.moc"
