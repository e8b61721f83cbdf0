#pragma once

#include "common/background_job.h"
#include "common/batched_appender.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class FormTrafficMonitor;
}

namespace velto {
class Prompter;
}

namespace velto::traffic {
class TrafficRecorder;
struct TrafficRow;
} // namespace velto::traffic

namespace velto::ui {

class TrafficFilterModel;
class TrafficTableModel;

// FormTrafficMonitor: every frame on the program's lines, time-stamped, decoded where the protocol
// allows, with failures as rows of their own. Records while it is open; rows come in batches on
// TimerTrafficBatch, so a fast line costs one view update per batch.
class TrafficMonitorWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBatchMs = BatchedAppender::kBatchMs;
    static constexpr const char* kSaveFilter = "Text Files (*.txt)";

    // The recorder and the prompter must outlive the window.
    TrafficMonitorWindow(traffic::TrafficRecorder& recorder, Prompter& prompter, QWidget* parent = nullptr);
    ~TrafficMonitorWindow() override;

    Ui::FormTrafficMonitor& form() { return *m_ui; }
    TrafficTableModel& rows() { return *m_rows; }
    TrafficFilterModel& shown() { return *m_shown; }
    QTimer& batchTimer() { return m_batch->timer(); }

    void PauseCommand_Click(bool paused);
    void ClearCommand_Click();
    void CopyCommand_Click();
    void SaveCommand_Click();
    // Follow on: the newest row is kept in view. Selecting a row or scrolling up turns it off.
    void FollowCommand_Click(bool follow);
    // Selects the next (step 1) or previous (step -1) shown row that the find box matches.
    void FindCommand_Click(int step);
    // Applies the direction and protocol boxes.
    void FilterCombo_Change();
    // TimerTrafficBatch: the rows that came since the last tick go into the view at once.
    void TimerTrafficBatch_Timer();

    // The rows shown (filter applied), oldest first.
    QList<traffic::TrafficRow> shownRows() const;

signals:
    // A save finished; error is empty when the file was written.
    void saved(const QString& path, const QString& error);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setUpTable();
    void wireFollowAndFind();
    void showCounts();
    void saveFinished(const QString& path, const QString& error);

    std::unique_ptr<Ui::FormTrafficMonitor> m_ui;
    // The recorder may go first when both go with the main window.
    QPointer<traffic::TrafficRecorder> m_recorder;
    Prompter& m_prompter;
    TrafficTableModel* m_rows;
    TrafficFilterModel* m_shown;
    BatchedAppender* m_batch; // rows wait in m_rows; this times their batches
    BackgroundJob<QString> m_save; // the error text of a save; empty when the file was written
};

} // namespace velto::ui
