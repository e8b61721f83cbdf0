#include "ui/parsing_window.h"

#include "common/prompter.h"
#include "debuglog/parsing_run.h"
#include "ui/screen_fit.h"
#include "ui_parsing_window.h"

#include <QCloseEvent>

#include <limits>

namespace velto::ui {

namespace {
const QString kLogFilter = QStringLiteral("HEX Files (*.txt)");
// A capture saved under another suffix (or none) can still be chosen.
const QString kLogFilters = kLogFilter + QStringLiteral(";;All Files (*)");
const QString kDialogTitle = QStringLiteral("Open");
} // namespace

ParsingWindow::ParsingWindow(
    QWidget& main, Prompter& prompter, std::function<QString()> folder, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_main(main)
    , m_prompter(prompter)
    , m_folder(std::move(folder))
    , m_ui(std::make_unique<Ui::FormTaliq485Parsing>())
    , m_run(new debuglog::ParsingRun(this))
{
    m_ui->setupUi(this);
    fitToScreenOnShow(this);
    connect(m_ui->BrowseCommand, &QPushButton::clicked, this, &ParsingWindow::BrowseCommand_Click);
    connect(m_ui->SaveParameters, &QPushButton::clicked, this, &ParsingWindow::SaveParameters_Click);
    connect(m_run, &debuglog::ParsingRun::progressed, this, &ParsingWindow::showProgress);
    connect(m_run, &debuglog::ParsingRun::finished, this, &ParsingWindow::runFinished);
    // The bar keeps its place while hidden, so Start does not stretch across the frame between runs.
    QSizePolicy barPolicy = m_ui->SaveToExcelProgressBar->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    m_ui->SaveToExcelProgressBar->setSizePolicy(barPolicy);
    m_ui->SaveToExcelProgressBar->hide();
    m_ui->SaveParameters->setEnabled(false);
}

ParsingWindow::~ParsingWindow() = default;

void ParsingWindow::BrowseCommand_Click()
{
    const QString path = m_prompter.openFileName(kDialogTitle, kLogFilters, kLogFilter);
    m_ui->SaveToExcelProgressBar->hide();
    // A cancelled dialog keeps the log chosen before.
    if (path.isEmpty())
        return;
    m_logFilePath = path;
    m_ui->SaveParameters->setEnabled(true);
    m_ui->TxtFileNameText->setText(path);
}

void ParsingWindow::SaveParameters_Click()
{
    if (m_run->isRunning() || m_logFilePath.isEmpty())
        return;
    m_ui->BrowseCommand->setEnabled(false);
    m_ui->SaveParameters->setEnabled(false);
    const QString folder = m_folder();
    if (folder.isEmpty()) {
        debuglog::ParsingOutcome outcome;
        outcome.stage = debuglog::ParsingStage::FirstWorkbook;
        outcome.message = debuglog::parsingStageMessage(outcome.stage);
        runFinished(outcome);
        return;
    }
    // Busy until the lines are counted.
    m_ui->SaveToExcelProgressBar->setRange(0, 0);
    m_ui->SaveToExcelProgressBar->show();
    m_paths = debuglog::ParsingPaths::inFolder(m_logFilePath, folder);
    m_run->start(m_paths);
}

void ParsingWindow::showProgress(qint64 linesDone, qint64 lineCount)
{
    QProgressBar* bar = m_ui->SaveToExcelProgressBar;
    m_barScale = lineCount / std::numeric_limits<int>::max() + 1;
    bar->setRange(1, int(std::max<qint64>(1, lineCount / m_barScale)));
    bar->setValue(int(std::max<qint64>(1, linesDone / m_barScale)));
}

void ParsingWindow::runFinished(const debuglog::ParsingOutcome& outcome)
{
    showIdle();
    switch (outcome.result) {
    case debuglog::ParsingOutcome::Result::Failed: {
        QString text = outcome.message;
        if (const QString note = debuglog::unfinishedLineNote(outcome); !note.isEmpty())
            text += QLatin1Char('\n') + note;
        m_prompter.message(text);
        break;
    }
    case debuglog::ParsingOutcome::Result::Saved:
        m_prompter.message(
            debuglog::parsingSavedMessage(outcome, m_paths), windowTitle(), Prompter::Icon::Information);
        break;
    case debuglog::ParsingOutcome::Result::Cancelled:
        break;
    }
}

void ParsingWindow::showIdle()
{
    QProgressBar* bar = m_ui->SaveToExcelProgressBar;
    m_ui->BrowseCommand->setEnabled(true);
    bar->setRange(1, std::max(1, bar->maximum()));
    bar->setValue(1);
    bar->hide();
    m_ui->SaveParameters->setEnabled(!m_logFilePath.isEmpty());
}

void ParsingWindow::closeEvent(QCloseEvent* event)
{
    // The buttons come back when the cancelled run has wound down, which takes a moment at most.
    m_run->cancel();
    m_main.show();
    event->accept();
}

} // namespace velto::ui
