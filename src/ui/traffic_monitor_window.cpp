#include "ui/traffic_monitor_window.h"

#include "common/file_suffix.h"
#include "common/prompter.h"
#include "traffic/row_find.h"
#include "traffic/row_format.h"
#include "traffic/session_writer.h"
#include "traffic/traffic_recorder.h"
#include "ui/screen_fit.h"
#include "ui/traffic_filter_model.h"
#include "ui/traffic_table_model.h"
#include "ui_traffic_monitor_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <memory>

namespace velto::ui {

using traffic::Protocol;
using traffic::RowFilter;

namespace {

constexpr int kRowPadding = 4;

// Widths in characters of the narrow columns; the wide ones share what is left.
struct ColumnWidth {
    int column;
    int characters;
};
constexpr ColumnWidth kColumnWidths[] = {
    { TrafficTableModel::Time, 13 },
    { TrafficTableModel::SinceConnect, 10 },
    { TrafficTableModel::Gap, 8 },
    { TrafficTableModel::Dir, 4 },
    { TrafficTableModel::Protocol, 11 },
    { TrafficTableModel::Length, 6 },
    { TrafficTableModel::Hex, 36 },
    { TrafficTableModel::Ascii, 16 },
};

const std::pair<const char*, RowFilter::Directions> kDirections[] = {
    { "TX, RX and failures", RowFilter::Directions::All },
    { "TX only", RowFilter::Directions::Tx },
    { "RX only", RowFilter::Directions::Rx },
    { "Failures only", RowFilter::Directions::Failures },
};

constexpr Protocol kProtocols[] = { Protocol::ModbusRtu, Protocol::VeltoAscii, Protocol::Radar,
    Protocol::Flash, Protocol::Calibration, Protocol::Debug };

// The find box's answers; the label keeps the width of the widest so nothing beside it moves.
const QString kNoMatch = QStringLiteral("no match");
const QString kNotASlave = QStringLiteral("enter a slave address, 0 to 999");
const QString kWidestMatch = QStringLiteral("row 100000 of 100000");
// The status line at its longest; its width is kept whatever it says.
const QString kWidestCounts = QStringLiteral(
    "100000 rows shown of 100000, 999999999 dropped (at most 100000 kept); paused, 100000 new rows waiting");

} // namespace

TrafficMonitorWindow::TrafficMonitorWindow(
    traffic::TrafficRecorder& recorder, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::FormTrafficMonitor>())
    , m_recorder(&recorder)
    , m_prompter(prompter)
    , m_rows(new TrafficTableModel(traffic::RowRing::kDefaultCapacity, this))
    , m_shown(new TrafficFilterModel(*m_rows, this))
    , m_batch(new BatchedAppender(this))
{
    m_ui->setupUi(this);
    for (const auto& [text, directions] : kDirections)
        m_ui->DirectionFilterCombo->addItem(QString::fromLatin1(text), int(directions));
    m_ui->ProtocolFilterCombo->addItem(QStringLiteral("All protocols"), -1);
    for (const Protocol p : kProtocols)
        m_ui->ProtocolFilterCombo->addItem(traffic::protocolName(p), int(p));
    setUpTable();

    m_batch->timer().setObjectName(QStringLiteral("TimerTrafficBatch"));
    connect(m_batch, &BatchedAppender::batchReady, this, &TrafficMonitorWindow::TimerTrafficBatch_Timer);
    connect(&recorder, &traffic::TrafficRecorder::rowRecorded, this, [this](const traffic::TrafficRow& row) {
        m_rows->append(row);
        m_batch->arrived();
    });

    connect(m_ui->PauseCommand, &QPushButton::toggled, this, &TrafficMonitorWindow::PauseCommand_Click);
    connect(m_ui->ClearCommand, &QPushButton::clicked, this, &TrafficMonitorWindow::ClearCommand_Click);
    connect(m_ui->CopyCommand, &QPushButton::clicked, this, &TrafficMonitorWindow::CopyCommand_Click);
    connect(m_ui->SaveCommand, &QPushButton::clicked, this, &TrafficMonitorWindow::SaveCommand_Click);
    connect(m_ui->DirectionFilterCombo, &QComboBox::currentIndexChanged, this,
        &TrafficMonitorWindow::FilterCombo_Change);
    connect(m_ui->ProtocolFilterCombo, &QComboBox::currentIndexChanged, this,
        &TrafficMonitorWindow::FilterCombo_Change);
    wireFollowAndFind();
    QLabel* counts = m_ui->RowCountLabel;
    counts->setSizePolicy(QSizePolicy::Ignored, counts->sizePolicy().verticalPolicy());
    counts->setMinimumWidth(counts->fontMetrics().horizontalAdvance(kWidestCounts));
    showCounts();
    compactLayouts(this);
    fitToScreenOnShow(this);
}

TrafficMonitorWindow::~TrafficMonitorWindow()
{
    if (m_recorder)
        m_recorder->setRecording(false);
}

void TrafficMonitorWindow::setUpTable()
{
    QTableView* table = m_ui->TrafficTable;
    table->setModel(m_shown);
    const QFontMetrics metrics(table->font());
    // Fixed row heights: the view never measures a row, however many there are.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(metrics.height() + kRowPadding);
    table->verticalHeader()->hide();
    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    // Wide enough for its values and for its caption, which is read in the header's own font.
    const QFontMetrics captionMetrics(header->font());
    for (const ColumnWidth& w : kColumnWidths) {
        const QString caption = m_shown->headerData(w.column, Qt::Horizontal).toString();
        const int captionWidth = captionMetrics.horizontalAdvance(caption)
            + 4 * header->style()->pixelMetric(QStyle::PM_HeaderMargin);
        table->setColumnWidth(
            w.column, std::max(metrics.horizontalAdvance(QLatin1Char('0')) * w.characters, captionWidth));
    }
}

void TrafficMonitorWindow::wireFollowAndFind()
{
    QTableView* table = m_ui->TrafficTable;
    connect(m_ui->FollowCommand, &QPushButton::toggled, this, &TrafficMonitorWindow::FollowCommand_Click);
    // A row picked to be read stays where it is; so does what the user scrolled up to.
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_ui->TrafficTable->selectionModel()->hasSelection())
            m_ui->FollowCommand->setChecked(false);
    });
    connect(table->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
        const QScrollBar* bar = m_ui->TrafficTable->verticalScrollBar();
        m_ui->FollowCommand->setChecked(bar->sliderPosition() >= bar->maximum());
    });
    table->installEventFilter(this);

    connect(m_ui->FindNextCommand, &QPushButton::clicked, this, [this] { FindCommand_Click(1); });
    connect(m_ui->FindPreviousCommand, &QPushButton::clicked, this, [this] { FindCommand_Click(-1); });
    connect(m_ui->FindText, &QLineEdit::returnPressed, this, [this] { FindCommand_Click(1); });
    connect(m_ui->FindText, &QLineEdit::textChanged, m_ui->FindResultLabel, &QLabel::clear);
    connect(m_ui->FindModeCombo, &QComboBox::currentIndexChanged, m_ui->FindResultLabel, &QLabel::clear);
    const QFontMetrics metrics(m_ui->FindResultLabel->font());
    m_ui->FindResultLabel->setMinimumWidth(std::max({ metrics.horizontalAdvance(kNoMatch),
        metrics.horizontalAdvance(kNotASlave), metrics.horizontalAdvance(kWidestMatch) }));
}

bool TrafficMonitorWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The table's own Ctrl+C copies one cell; the monitor's copies whole rows, as Copy does.
    if (watched == m_ui->TrafficTable && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopyCommand_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TrafficMonitorWindow::FollowCommand_Click(bool follow)
{
    m_ui->FollowCommand->setChecked(follow);
    if (follow)
        m_ui->TrafficTable->scrollToBottom();
}

void TrafficMonitorWindow::FindCommand_Click(int step)
{
    const auto mode = m_ui->FindModeCombo->currentIndex() == 1 ? traffic::RowFind::Mode::Slave
                                                               : traffic::RowFind::Mode::Text;
    const std::optional<traffic::RowFind> find = traffic::RowFind::fromTyped(mode, m_ui->FindText->text());
    QLabel* result = m_ui->FindResultLabel;
    if (!find) {
        result->setText(mode == traffic::RowFind::Mode::Slave ? kNotASlave : QString());
        return;
    }
    const int count = m_shown->rowCount();
    QList<int> matches;
    for (int row = 0; row < count; ++row) {
        if (find->matches(m_rows->rows().at(m_shown->mapToSource(m_shown->index(row, 0)).row())))
            matches << row;
    }
    if (matches.isEmpty()) {
        result->setText(kNoMatch);
        return;
    }
    // From the current row on, round the end to the other side.
    const QModelIndex current = m_ui->TrafficTable->currentIndex();
    qsizetype at = 0;
    if (step > 0) {
        const int from = current.isValid() ? current.row() : -1;
        at = std::upper_bound(matches.begin(), matches.end(), from) - matches.begin();
        if (at == matches.size())
            at = 0;
    } else {
        const int from = current.isValid() ? current.row() : count;
        at = std::lower_bound(matches.begin(), matches.end(), from) - matches.begin() - 1;
        if (at < 0)
            at = matches.size() - 1;
    }
    const int row = matches.at(at);
    m_ui->TrafficTable->selectRow(row);
    m_ui->TrafficTable->scrollTo(m_shown->index(row, 0));
    result->setText(QStringLiteral("row %1 of %2").arg(at + 1).arg(matches.size()));
}

void TrafficMonitorWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_recorder)
        m_recorder->setRecording(true);
}

void TrafficMonitorWindow::closeEvent(QCloseEvent* event)
{
    // Closed, not minimised: the lines go unwatched until it is opened again.
    if (m_recorder)
        m_recorder->setRecording(false);
    TimerTrafficBatch_Timer();
    m_batch->discard();
    QWidget::closeEvent(event);
}

void TrafficMonitorWindow::PauseCommand_Click(bool paused)
{
    // Recording goes on; the rows wait (up to the bound) and show when the view resumes.
    m_ui->PauseCommand->setChecked(paused);
    m_ui->PauseCommand->setText(paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    if (!paused)
        TimerTrafficBatch_Timer();
    showCounts();
}

void TrafficMonitorWindow::ClearCommand_Click()
{
    m_rows->clear();
    showCounts();
}

void TrafficMonitorWindow::CopyCommand_Click()
{
    // The selected rows, or all shown when none is selected.
    QList<int> selected;
    for (const QModelIndex& index : m_ui->TrafficTable->selectionModel()->selectedRows())
        selected << index.row();
    std::sort(selected.begin(), selected.end());
    QStringList lines { traffic::rowHeader() };
    if (selected.isEmpty()) {
        for (const traffic::TrafficRow& row : shownRows())
            lines << traffic::formatRow(row);
    } else {
        for (int row : selected)
            lines << traffic::formatRow(m_shown->shownRow(row));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TrafficMonitorWindow::SaveCommand_Click()
{
    if (m_save.isRunning())
        return;
    const QString filter = QString::fromLatin1(kSaveFilter);
    const QString path
        = withFilterSuffix(m_prompter.saveFileName(QStringLiteral("Save Traffic"), filter, filter), filter);
    if (path.isEmpty())
        return;
    // Bytes still waiting for a frame's end belong in the file too.
    if (m_recorder)
        m_recorder->flushQuietLines();
    if (!m_ui->PauseCommand->isChecked())
        TimerTrafficBatch_Timer();
    // The rows share their bytes with the view, so the copy is cheap; the writing is off this thread
    // and ends even when the window goes first.
    QList<traffic::TrafficRow> rows = shownRows();
    const traffic::SessionHeader header
        = m_recorder ? m_recorder->sessionHeader(rows) : traffic::SessionHeader::thisProgram({}, {});
    m_save.start(
        [rows = std::move(rows), header, path](auto&) { return traffic::saveSession(path, header, rows); },
        [this, path](const QString& error) { saveFinished(path, error); });
    m_ui->SaveCommand->setEnabled(false);
}

void TrafficMonitorWindow::saveFinished(const QString& path, const QString& error)
{
    m_ui->SaveCommand->setEnabled(true);
    if (!error.isEmpty())
        m_prompter.message(QStringLiteral("The traffic could not be saved to %1: %2").arg(path, error),
            windowTitle(), Prompter::Icon::Warning);
    emit saved(path, error);
}

void TrafficMonitorWindow::FilterCombo_Change()
{
    RowFilter filter;
    filter.directions = RowFilter::Directions(m_ui->DirectionFilterCombo->currentData().toInt());
    const int protocol = m_ui->ProtocolFilterCombo->currentData().toInt();
    if (protocol >= 0)
        filter.protocol = Protocol(protocol);
    m_shown->setFilter(filter);
    showCounts();
}

QList<traffic::TrafficRow> TrafficMonitorWindow::shownRows() const
{
    QList<traffic::TrafficRow> rows;
    rows.reserve(m_shown->rowCount());
    for (int i = 0; i < m_shown->rowCount(); ++i)
        rows << m_shown->shownRow(i);
    return rows;
}

void TrafficMonitorWindow::TimerTrafficBatch_Timer()
{
    if (m_ui->PauseCommand->isChecked() || m_rows->waiting() == 0) {
        showCounts();
        return;
    }
    m_rows->flush();
    if (m_ui->FollowCommand->isChecked())
        m_ui->TrafficTable->scrollToBottom();
    showCounts();
}

void TrafficMonitorWindow::showCounts()
{
    QString text = QStringLiteral("%1 rows shown of %2, %3 dropped (at most %4 kept)")
                       .arg(m_shown->rowCount())
                       .arg(m_rows->rowCount())
                       .arg(m_rows->dropped())
                       .arg(m_rows->rows().capacity());
    if (m_ui->PauseCommand->isChecked())
        text += QStringLiteral("; paused, %1 new rows waiting").arg(m_rows->waiting());
    m_ui->RowCountLabel->setText(text);
}

} // namespace velto::ui
