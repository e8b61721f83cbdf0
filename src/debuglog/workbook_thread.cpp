#include "debuglog/workbook_thread.h"

namespace velto::debuglog {

WorkbookThread::WorkbookThread(ParsingRowSink& rows, std::function<bool()> close)
    : m_rows(rows)
    , m_close(std::move(close))
{
    m_filling.reserve(kBatchRows);
    m_thread = std::thread([this] { run(); });
}

WorkbookThread::~WorkbookThread()
{
    abandon();
}

bool WorkbookThread::writeRow(int rowNumber, const ParsingRow& row)
{
    m_filling.emplace_back(rowNumber, row);
    // A failure shows at the next batch, or at the close at the latest.
    return m_filling.size() < kBatchRows || pushBatch();
}

bool WorkbookThread::pushBatch()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kMaxQueuedBatches || m_failed || m_abandoned; });
    const bool ok = !m_failed && !m_abandoned;
    if (ok)
        m_queue.push_back(std::move(m_filling));
    lock.unlock();
    m_changed.notify_all();
    m_filling = Batch();
    m_filling.reserve(kBatchRows);
    return ok;
}

void WorkbookThread::startClose()
{
    if (!m_filling.empty())
        pushBatch();
    {
        std::lock_guard lock(m_mutex);
        m_closeRequested = true;
    }
    m_changed.notify_all();
}

bool WorkbookThread::waitClosed()
{
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    return m_closed;
}

void WorkbookThread::abandon()
{
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void WorkbookThread::run()
{
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closeRequested || m_abandoned; });
        if (m_abandoned)
            return;
        if (m_queue.empty()) {
            // Close requested and every row written.
            const bool failed = m_failed;
            lock.unlock();
            const bool closed = !failed && m_close();
            lock.lock();
            m_closed = closed;
            return;
        }
        Batch batch = std::move(m_queue.front());
        m_queue.pop_front();
        const bool failed = m_failed;
        lock.unlock();
        m_changed.notify_all();
        bool ok = !failed;
        for (const auto& [rowNumber, row] : batch) {
            if (!ok)
                break;
            ok = m_rows.writeRow(rowNumber, row);
        }
        if (!ok) {
            lock.lock();
            m_failed = true;
            m_queue.clear();
            lock.unlock();
            m_changed.notify_all();
        }
    }
}

} // namespace velto::debuglog
