#include "ui/trend_window.h"

#include "common/prompter.h"
#include "trend/trend_export.h"
#include "trend/trend_store.h"
#include "ui/screen_fit.h"
#include "ui/trend_canvas.h"
#include "ui_trend_window.h"

#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>

#include <cmath>

namespace velto::ui {

namespace {

constexpr QSize kSmallestPicture(900, 560);
constexpr int kSwatchSize = 12;
constexpr int kSeriesIndexRole = Qt::UserRole;
constexpr int kGroupRole = Qt::UserRole + 1;
const QString kPreferredRegister = QStringLiteral("R1"); // the distance

QIcon swatch(const QColor& colour)
{
    QPixmap pixmap(kSwatchSize, kSwatchSize);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

std::optional<double> numberIn(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

TrendWindow::TrendWindow(const trend::TrendStore& store, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_prompter(prompter)
    , m_ui(std::make_unique<Ui::FormTrend>())
    , m_canvas(new TrendCanvas(store, this))
{
    m_ui->setupUi(this);
    m_ui->GraphLayout->addWidget(m_canvas);
    // Long readouts are cut, not allowed to widen the window; the line keeps its height when empty.
    m_ui->ReadoutLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_ui->ReadoutLabel->setMinimumHeight(m_ui->ReadoutLabel->fontMetrics().height());
    m_ui->LabelRegister->hide();
    m_ui->RegisterCombo->hide();
    compactLayouts(this);
    fitToScreenOnShow(this);

    // Readings arrive one by one; the plot is redrawn for a batch of them.
    m_repaint.setObjectName(QStringLiteral("TimerTrendRepaint"));
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(kRepaintBatchMs);
    connect(&m_repaint, &QTimer::timeout, this, [this] {
        m_canvas->dataChanged();
        // A closed window draws nothing until it is opened again.
        if (isVisible())
            showAxisRange();
    });
    connect(&store, &trend::TrendStore::samplesAppended, this, [this] {
        if (!m_repaint.isActive())
            m_repaint.start();
    });
    connect(&store, &trend::TrendStore::seriesAdded, this, &TrendWindow::addSeries);
    for (int i = 0; i < store.seriesCount(); ++i)
        addSeries(i);

    connect(m_ui->LegendList, &QListWidget::itemChanged, this, &TrendWindow::applyShown);
    connect(m_ui->RegisterCombo, &QComboBox::currentTextChanged, this, &TrendWindow::applyShown);
    connect(m_ui->PauseCommand, &QPushButton::toggled, m_canvas,
        [this](bool paused) { m_canvas->setFollowing(!paused); });
    connect(m_ui->FullRangeCommand, &QPushButton::clicked, m_canvas, &TrendCanvas::showEverything);
    connect(m_canvas, &TrendCanvas::viewChanged, this, &TrendWindow::showViewState);
    connect(m_canvas, &TrendCanvas::readoutChanged, m_ui->ReadoutLabel, &QLabel::setText);
    connect(m_ui->AxisCombo, &QComboBox::currentTextChanged, this, &TrendWindow::showAxisRange);
    connect(m_ui->AutoScaleCheck, &QCheckBox::toggled, this, &TrendWindow::AutoScaleCheck_Toggled);
    connect(m_ui->MinText, &QLineEdit::editingFinished, this, &TrendWindow::applyAxisTexts);
    connect(m_ui->MaxText, &QLineEdit::editingFinished, this, &TrendWindow::applyAxisTexts);
    connect(m_ui->SavePictureCommand, &QPushButton::clicked, this, &TrendWindow::SavePictureCommand_Click);
    connect(m_ui->SaveDataCommand, &QPushButton::clicked, this, &TrendWindow::SaveDataCommand_Click);
    applyShown();
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::addSeries(int index)
{
    const trend::SeriesInfo& info = m_store.info(index);
    auto* item = new QListWidgetItem(swatch(trend::TrendStore::colourOf(index)), info.label());
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    item->setData(kSeriesIndexRole, index);
    item->setData(kGroupRole, info.group);
    {
        const QSignalBlocker quiet(m_ui->LegendList);
        m_ui->LegendList->addItem(item);
    }
    if (!info.group.isEmpty() && m_ui->RegisterCombo->findText(info.group) < 0) {
        const QSignalBlocker quiet(m_ui->RegisterCombo);
        m_ui->RegisterCombo->addItem(info.group);
        m_ui->RegisterCombo->model()->sort(0);
        const int preferred = m_ui->RegisterCombo->findText(kPreferredRegister);
        if (m_ui->RegisterCombo->currentText() != kPreferredRegister && preferred >= 0)
            m_ui->RegisterCombo->setCurrentIndex(preferred);
        m_ui->LabelRegister->show();
        m_ui->RegisterCombo->show();
    }
    applyShown();
}

void TrendWindow::applyShown()
{
    const QString group = m_ui->RegisterCombo->currentText();
    QList<int> shown;
    QStringList units;
    for (int row = 0; row < m_ui->LegendList->count(); ++row) {
        QListWidgetItem* item = m_ui->LegendList->item(row);
        const QString itemGroup = item->data(kGroupRole).toString();
        const bool inGroup = itemGroup.isEmpty() || itemGroup == group;
        item->setHidden(!inGroup);
        if (!inGroup || item->checkState() != Qt::Checked)
            continue;
        const int index = item->data(kSeriesIndexRole).toInt();
        shown << index;
        if (!units.contains(m_store.info(index).unit))
            units << m_store.info(index).unit;
    }
    m_canvas->setShown(shown);
    if (units != [this] {
            QStringList now;
            for (int i = 0; i < m_ui->AxisCombo->count(); ++i)
                now << m_ui->AxisCombo->itemText(i);
            return now;
        }()) {
        const QString chosen = chosenAxis();
        const QSignalBlocker quiet(m_ui->AxisCombo);
        m_ui->AxisCombo->clear();
        m_ui->AxisCombo->addItems(units);
        m_ui->AxisCombo->setCurrentIndex(std::max<int>(0, int(units.indexOf(chosen))));
    }
    showAxisRange();
}

QString TrendWindow::chosenAxis() const
{
    return m_ui->AxisCombo->currentIndex() >= 0 ? m_ui->AxisCombo->currentText() : QString();
}

void TrendWindow::showViewState()
{
    {
        const QSignalBlocker quiet(m_ui->PauseCommand);
        m_ui->PauseCommand->setChecked(!m_canvas->view().following);
    }
    showAxisRange();
}

void TrendWindow::showAxisRange()
{
    const bool any = m_ui->AxisCombo->count() > 0;
    for (QWidget* w : std::initializer_list<QWidget*> {
             m_ui->AxisCombo, m_ui->AutoScaleCheck, m_ui->MinText, m_ui->MaxText })
        w->setEnabled(any);
    if (!any)
        return;
    const QString unit = chosenAxis();
    const bool manual = m_canvas->manualRanges().contains(unit);
    {
        const QSignalBlocker quiet(m_ui->AutoScaleCheck);
        m_ui->AutoScaleCheck->setChecked(!manual);
    }
    m_ui->MinText->setReadOnly(!manual);
    m_ui->MaxText->setReadOnly(!manual);
    // The range the plot uses now, whether scaled or set; not overwritten while being typed.
    for (const trend::ValueAxis& axis : m_canvas->geometry().axes) {
        if (axis.unit != unit)
            continue;
        if (!m_ui->MinText->hasFocus() || !manual)
            m_ui->MinText->setText(QString::number(axis.range.low, 'g', 6));
        if (!m_ui->MaxText->hasFocus() || !manual)
            m_ui->MaxText->setText(QString::number(axis.range.high, 'g', 6));
    }
}

void TrendWindow::AutoScaleCheck_Toggled(bool on)
{
    const QString unit = chosenAxis();
    if (on) {
        m_canvas->setManualRange(unit, std::nullopt);
        return;
    }
    // By hand from the range shown now, until the user types another.
    for (const trend::ValueAxis& axis : m_canvas->geometry().axes) {
        if (axis.unit == unit)
            m_canvas->setManualRange(unit, axis.range);
    }
}

void TrendWindow::applyAxisTexts()
{
    const QString unit = chosenAxis();
    if (!m_canvas->manualRanges().contains(unit))
        return;
    const auto low = numberIn(m_ui->MinText->text());
    const auto high = numberIn(m_ui->MaxText->text());
    if (!low || !high || !(*low < *high)) {
        m_prompter.message(QStringLiteral("Wrong value. Enter a Min below the Max, both numbers."));
        showAxisRange();
        return;
    }
    m_canvas->setManualRange(unit, trend::ValueRange { *low, *high });
}

void TrendWindow::SavePictureCommand_Click()
{
    QString path = m_prompter.saveFileName(
        QStringLiteral("Save Picture"), QStringLiteral("PNG pictures (*.png)"), {}, {});
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QLatin1String(".png");
    const QSize size = m_canvas->size().expandedTo(kSmallestPicture);
    if (const auto error = trend::savePicture(path, m_canvas->picture(size)))
        m_prompter.message(*error);
}

void TrendWindow::SaveDataCommand_Click()
{
    QString path = m_prompter.saveFileName(
        QStringLiteral("Save Data"), QStringLiteral("Comma-separated values (*.csv)"), {}, {});
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        path += QLatin1String(".csv");
    if (const auto error = trend::saveCsv(path, m_store, m_canvas->shown(), trend::wallClockZone()))
        m_prompter.message(*error);
}

} // namespace velto::ui
