#pragma once

#include "debuglog/parsing_job.h"
#include "debuglog/parsing_outcome.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class FormTaliq485Parsing;
}

namespace velto {
class Prompter;
}

namespace velto::debuglog {
class ParsingRun;
}

namespace velto::ui {

// FormTaliq485Parsing: turns a captured debug log into the two workbooks in the data folder. The
// run happens on a worker thread; the window only shows its progress and its end.
class ParsingWindow : public QWidget {
    Q_OBJECT
public:
    // main comes back on screen when this window closes. folder gives the workbooks' folder, made
    // when missing, or empty when it cannot be made.
    ParsingWindow(
        QWidget& main, Prompter& prompter, std::function<QString()> folder, QWidget* parent = nullptr);
    ~ParsingWindow() override;

    Ui::FormTaliq485Parsing& form() { return *m_ui; }
    debuglog::ParsingRun& run() { return *m_run; }

public slots:
    void BrowseCommand_Click();
    void SaveParameters_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showProgress(qint64 linesDone, qint64 lineCount);
    void runFinished(const debuglog::ParsingOutcome& outcome);
    // The controls as they stand between runs.
    void showIdle();

    QWidget& m_main;
    Prompter& m_prompter;
    std::function<QString()> m_folder;
    std::unique_ptr<Ui::FormTaliq485Parsing> m_ui;
    debuglog::ParsingRun* m_run;
    QString m_logFilePath;
    debuglog::ParsingPaths m_paths; // of the run under way or last run
    qint64 m_barScale = 1; // lines per bar step, above 1 only past the bar's int range
};

} // namespace velto::ui
