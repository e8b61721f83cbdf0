#pragma once

#include "debuglog/parsing_row_sink.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace velto::debuglog {

// Feeds one workbook from a thread of its own. Rows cross in batches, and the close (the
// compression, most of the work) runs there too, so the two workbooks of a run use two cores.
// Only a few batches wait at a time: a slow writer slows the reader instead of filling memory.
class WorkbookThread final : public ParsingRowSink {
public:
    // close writes the workbook once every row went to rows; both run on the thread.
    WorkbookThread(ParsingRowSink& rows, std::function<bool()> close);
    ~WorkbookThread() override; // abandons what is not closed yet
    WorkbookThread(const WorkbookThread&) = delete;
    WorkbookThread& operator=(const WorkbookThread&) = delete;

    // False once the writer has been seen to fail; rows are then dropped.
    bool writeRow(int rowNumber, const ParsingRow& row) override;
    // Hands over the last rows and asks for the close; returns at once.
    void startClose();
    // After startClose(): true when every row was written and the workbook closed.
    bool waitClosed();
    // Drops the queued rows and stops without writing the workbook.
    void abandon();

private:
    using Batch = std::vector<std::pair<int, ParsingRow>>;
    static constexpr std::size_t kBatchRows = 2048;
    static constexpr std::size_t kMaxQueuedBatches = 4;

    void run();
    bool pushBatch();

    ParsingRowSink& m_rows;
    std::function<bool()> m_close;
    Batch m_filling;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_queue;
    bool m_closeRequested = false;
    bool m_abandoned = false;
    bool m_failed = false;
    bool m_closed = false;
    std::thread m_thread;
};

} // namespace velto::debuglog
