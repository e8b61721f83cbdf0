#pragma once

#include <QFutureWatcher>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

namespace velto {

// What a background job's work is given, on its own thread: whether its owner asked it to stop,
// and a way to tell the owner how far it got.
template <typename Report> class JobControl {
public:
    JobControl(QPromise<Report>& promise, std::shared_ptr<const std::atomic<bool>> cancel)
        : m_promise(promise)
        , m_cancel(std::move(cancel))
    {
    }

    bool cancelRequested() const { return m_cancel->load(std::memory_order_relaxed); }
    const std::atomic<bool>& cancelFlag() const { return *m_cancel; }
    // Every report is kept until the job ends: report now and then, not per item.
    void report(Report report) { m_promise.addResult(std::move(report)); }

private:
    QPromise<Report>& m_promise;
    std::shared_ptr<const std::atomic<bool>> m_cancel;
};

// Work on the global thread pool whose reports and result come back on the owner's thread, the
// reports in order and all before the result. Nothing waits for the work: when the owner (and this
// object with it) goes first, the work is asked to stop, runs to its end on its own, and its
// reports and result are dropped. So the work holds copies of all it touches, never the owner.
// One job at a time; a job may start the next from its finished callback.
template <typename Result, typename Report = std::monostate> class BackgroundJob {
public:
    using Control = JobControl<Report>;
    using Work = std::function<Result(Control&)>;
    using Finished = std::function<void(Result)>;
    using Reported = std::function<void(const Report&)>;

    BackgroundJob()
    {
        QObject::connect(&m_watcher, &QFutureWatcherBase::resultReadyAt, &m_watcher, [this](int index) {
            if (m_reported)
                m_reported(m_watcher.resultAt(index));
        });
        QObject::connect(&m_watcher, &QFutureWatcherBase::finished, &m_watcher, [this] { done(); });
    }
    ~BackgroundJob() { cancel(); }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // False while a job (even a cancelled one) is still running.
    bool start(Work work, Finished finished, Reported reported = {})
    {
        if (m_running)
            return false;
        m_running = true;
        m_cancel = std::make_shared<std::atomic<bool>>(false);
        m_result = std::make_shared<std::optional<Result>>();
        m_finished = std::move(finished);
        m_reported = std::move(reported);
        m_watcher.setFuture(QtConcurrent::run(
            [work = std::move(work), cancel = m_cancel, result = m_result](QPromise<Report>& promise) {
                Control control(promise, cancel);
                result->emplace(work(control));
            }));
        return true;
    }

    void cancel()
    {
        if (m_cancel)
            m_cancel->store(true, std::memory_order_relaxed);
    }

    bool isRunning() const { return m_running; }

private:
    void done()
    {
        m_running = false;
        std::optional<Result> result = std::move(*m_result);
        const Finished finished = std::exchange(m_finished, {});
        m_reported = {};
        if (finished && result)
            finished(std::move(*result));
    }

    QFutureWatcher<Report> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::shared_ptr<std::optional<Result>> m_result;
    Finished m_finished;
    Reported m_reported;
    bool m_running = false;
};

} // namespace velto
