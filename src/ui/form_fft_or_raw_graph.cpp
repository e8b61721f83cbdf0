#include "ui/form_fft_or_raw_graph.h"

#include "common/prompter.h"
#include "common/whole_file.h"
#include "graph/graph_geometry.h"
#include "ui/box_updates.h"
#include "ui/graph_canvas.h"
#include "ui/screen_fit.h"
#include "ui_form_fft_or_raw_graph.h"

#include <QLabel>

namespace velto::ui {

Form_FFT_Or_RAW_Graph::Form_FFT_Or_RAW_Graph(Prompter& prompter, const QWidget* over)
    : QWidget(nullptr, Qt::Window)
    , m_ui(std::make_unique<Ui::Form_FFT_Or_RAW_Graph>())
    , m_prompter(prompter)
{
    m_ui->setupUi(this);
    compactLayouts(this);
    fitToScreenOnShow(this, over);
    connect(m_ui->SavePictureCommand, &QPushButton::clicked, this,
        &Form_FFT_Or_RAW_Graph::SavePictureCommand_Click);
    connect(m_ui->FFT_Graph, &GraphCanvas::pointHovered, this, &Form_FFT_Or_RAW_Graph::showPoint);
    // Before the first result only the grid-less picture and the design captions show.
    for (QWidget* w : std::initializer_list<QWidget*> { m_ui->FFTLabel, m_ui->RAWLabel, m_ui->FFTFrame,
             m_ui->RAWFrame, m_ui->MaxRAWLabel, m_ui->MiddleRAWLabel, m_ui->MinRAWLabel })
        w->setVisible(false);
}

Form_FFT_Or_RAW_Graph::~Form_FFT_Or_RAW_Graph() = default;

void Form_FFT_Or_RAW_Graph::DrawFFT(const radar::GraphRequest& request)
{
    QList<radar::GraphRequest> held = m_ui->FFT_Graph->held();
    const bool joinsSpectrum = request.combined && request.kind == radar::MonitoringKind::TimeDomain
        && held.size() == 1 && held.first().combined && held.first().kind == radar::MonitoringKind::Spectrum;
    if (joinsSpectrum)
        held.append(request);
    else
        held = { request };
    m_ui->FFT_Graph->setHeld(held);
    applyBoxUpdates(*this, graph::labelUpdates(held));
    placeAxisLabels();
    // A new result comes to the front, even when the window was minimised or behind another; the
    // keyboard stays where the operator was typing.
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
}

void Form_FFT_Or_RAW_Graph::SavePictureCommand_Click()
{
    QString path = m_prompter.saveFileName(
        QStringLiteral("Save Picture"), QStringLiteral("PNG pictures (*.png)"), {}, {});
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QLatin1String(".png");
    // The picture as the window shows it: title, scales and labels with the plot.
    const QImage picture = grab().toImage();
    WholeFile file(path);
    if (!file.open() || !picture.save(&file.device(), "PNG") || !file.commit()) {
        file.cancel();
        m_prompter.message(QStringLiteral("The picture could not be saved to %1.").arg(path));
    }
}

void Form_FFT_Or_RAW_Graph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeAxisLabels();
}

void Form_FFT_Or_RAW_Graph::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    placeAxisLabels();
}

void Form_FFT_Or_RAW_Graph::placeAxisLabels()
{
    // The axis columns are as tall as the plot; each label is centred on its height of the scale.
    const int plotTop = m_ui->FFT_Graph->y();
    const int plotHeight = m_ui->FFT_Graph->height();
    for (QWidget* column : { m_ui->LeftAxis, m_ui->RightAxis }) {
        for (QLabel* label : column->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
            const std::optional<double> level = graph::labelLevel(label->objectName());
            if (!level)
                continue;
            label->adjustSize();
            const int centre = plotTop - column->y() + int((1.0 - *level) * plotHeight);
            const int top
                = qBound(0, centre - label->height() / 2, qMax(0, column->height() - label->height()));
            const int left = column == m_ui->LeftAxis ? column->width() - label->width() - kCompactMargin
                                                      : kCompactMargin;
            label->move(qMax(0, left), top);
        }
    }
}

void Form_FFT_Or_RAW_Graph::showPoint(int index, int value)
{
    m_ui->PointValueText->setText(
        index < 0 ? QString() : QStringLiteral("Point %1: %2").arg(index).arg(value));
}

} // namespace velto::ui
