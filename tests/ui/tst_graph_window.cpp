#include "support/fake_prompter.h"
#include "support/full_device.h"
#include "ui/form_fft_or_raw_graph.h"
#include "ui/graph_canvas.h"
#include "ui_form_fft_or_raw_graph.h"

#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using radar::GraphRequest;
using radar::MonitoringKind;

namespace {

GraphRequest request(MonitoringKind kind, QList<int> values, bool combined = false)
{
    GraphRequest r;
    r.kind = kind;
    r.values = std::move(values);
    r.combined = combined;
    r.rawMin = 0;
    r.rawMax = 1000;
    return r;
}

struct Rig {
    test::FakePrompter prompter;
    ui::Form_FFT_Or_RAW_Graph window { prompter };
    Ui::Form_FFT_Or_RAW_Graph& f = window.form();
};

} // namespace

class TstGraphWindow : public QObject {
    Q_OBJECT
private slots:
    void controlsAndCaption();
    void paintsTheGeometry();
    void combinedViewHoldsBothSeries();
    void scalesWithTheWindow();
    void savesThePicture();
    void newResultComesToTheFront();
    void showsThePointUnderTheMouse();
};

void TstGraphWindow::controlsAndCaption()
{
    Rig rig;
    QCOMPARE(rig.window.windowTitle(), QString("FFT Function"));
    for (const char* name : { "FFT_Graph", "FFT_Raw_Label", "FFT0_Raw0Label", "Raw16kLabel", "Raw32kLabel",
             "Raw48kLabel", "FFT40Label", "FFT80Label", "FFT120Label", "FFT150_Raw64kLabel", "FFTdbLabel",
             "FFTLabel", "RAWLabel", "MinRAWLabel", "MiddleRAWLabel", "MaxRAWLabel", "FrequencyCellLabel",
             "FrequencyCellText", "FFTFrame", "RAWFrame", "FFTStartBlockText", "FFTEndBlockText",
             "RAWStartBlockText", "RAWEndBlockText" })
        QVERIFY2(rig.window.findChild<QWidget*>(name), name);
    QCOMPARE(rig.f.FFT_Raw_Label->text(), QString(" Graph"));
    QCOMPARE(rig.f.FrequencyCellLabel->text(), QString("Frq Cell Num"));
    QCOMPARE(rig.f.FFTFrame->title(), QString("FFT"));
    QCOMPARE(rig.f.FFT150_Raw64kLabel->text(), QString("150"));
}

void TstGraphWindow::paintsTheGeometry()
{
    Rig rig;
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 0, 75, 100, 100, 100 }));
    QVERIFY(rig.window.isVisible());
    QVERIFY(!rig.window.isModal());
    QCOMPARE(rig.f.FFT_Raw_Label->text(), QString("FFT Graph"));
    QCOMPARE(rig.f.FrequencyCellText->text(), QString("256"));
    rig.f.FFT_Graph->setFixedSize(200, 150);
    const QImage image = rig.f.FFT_Graph->grab().toImage();
    QCOMPARE(image.pixelColor(130, 149), QColor(50, 150, 242));
    QCOMPARE(image.pixelColor(130, 10), QColor(255, 255, 255));
    QCOMPARE(image.pixelColor(50, 75), QColor(100, 50, 155));
    QCOMPARE(image.pixelColor(130, 45), QColor(Qt::black));
    // The window's labels sit beside the plot, bottom to top.
    QVERIFY(rig.f.FFT40Label->y() > rig.f.FFT120Label->y());
}

void TstGraphWindow::combinedViewHoldsBothSeries()
{
    Rig rig;
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 10, 20 }, true));
    rig.window.DrawFFT(request(MonitoringKind::TimeDomain, { 100, 900, 500 }, true));
    QCOMPARE(rig.f.FFT_Graph->held().size(), 2);
    QCOMPARE(rig.f.FFT_Raw_Label->text(), QString("FFT and RAW Graph"));
    QVERIFY(rig.f.FFTFrame->isVisible());
    QVERIFY(!rig.f.FrequencyCellText->isVisible());
    QCOMPARE(rig.f.MaxRAWLabel->text(), QString("1000"));
    // The next run's spectrum starts a new picture; so does a single-kind result.
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 10, 20 }, true));
    QCOMPARE(rig.f.FFT_Graph->held().size(), 1);
    rig.window.DrawFFT(request(MonitoringKind::TimeDomain, { 1, 2 }));
    QCOMPARE(rig.f.FFT_Graph->held().size(), 1);
    QCOMPARE(rig.f.FFT_Raw_Label->text(), QString("RAW Graph"));
    QVERIFY(!rig.f.FFTFrame->isVisible());
}

void TstGraphWindow::scalesWithTheWindow()
{
    Rig rig;
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 0, 150 }));
    rig.f.FFT_Graph->setFixedSize(100, 60);
    QImage small = rig.f.FFT_Graph->grab().toImage();
    rig.f.FFT_Graph->setFixedSize(400, 300);
    QImage large = rig.f.FFT_Graph->grab().toImage();
    QCOMPARE(small.pixelColor(53, 59), QColor(50, 150, 242));
    QCOMPARE(large.pixelColor(205, 299), QColor(50, 150, 242));
    // 150 dB is off the scale: its dot stays at the height before, the line still aims at the top.
    QCOMPARE(large.pixelColor(399, 0), QColor(200, 50, 22));
    QCOMPARE(large.pixelColor(399, 299), QColor(100, 50, 155));
}

void TstGraphWindow::savesThePicture()
{
    Rig rig;
    QTemporaryDir dir;
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 1, 2, 3 }));
    rig.f.FFT_Graph->setFixedSize(320, 200);
    rig.prompter.fileAnswers.enqueue(dir.filePath("plot"));
    rig.f.SavePictureCommand->click();
    // The window as it shows: the title and the scales around the plot.
    QImage saved(dir.filePath("plot.png"));
    QCOMPARE(saved.size() / saved.devicePixelRatio(), rig.window.size());
    const QPoint axis = rig.f.FFT_Graph->mapTo(&rig.window, QPoint(165, 199));
    QCOMPARE(saved.pixelColor(axis), QColor(50, 150, 242));
    const QRect title = QRect(rig.f.FFT_Raw_Label->mapTo(&rig.window, QPoint()), rig.f.FFT_Raw_Label->size());
    const QImage titleArea = saved.copy(title);
    bool written = false; // the title's letters on the window's background
    for (int x = 0; x < titleArea.width() && !written; ++x)
        for (int y = 0; y < titleArea.height() && !written; ++y)
            written = titleArea.pixel(x, y) != titleArea.pixel(0, 0);
    QVERIFY(written);
    QVERIFY(rig.prompter.messages.isEmpty());

    rig.prompter.fileAnswers.enqueue(dir.filePath("no/such/folder/plot.png"));
    rig.f.SavePictureCommand->click();
    QCOMPARE(rig.prompter.messages.size(), 1);
    rig.f.SavePictureCommand->click(); // cancelled: nothing happens
    QCOMPARE(rig.prompter.messages.size(), 1);
    // A full disk (a name that leads to a device that takes no byte): said, and the device stays.
    const QString full = dir.filePath("full.png");
    QVERIFY(QFile::link(test::fullDeviceIn(dir.path()), full));
    rig.prompter.fileAnswers.enqueue(full);
    rig.f.SavePictureCommand->click();
    QCOMPARE(rig.prompter.messages.size(), 2);
    QVERIFY(test::isDevice(full));
}

void TstGraphWindow::newResultComesToTheFront()
{
    Rig rig;
    int raised = 0;
    struct ZOrderWatch : QObject {
        int& count;
        explicit ZOrderWatch(int& c)
            : count(c)
        {
        }
        bool eventFilter(QObject*, QEvent* e) override
        {
            count += e->type() == QEvent::ZOrderChange;
            return false;
        }
    } watch(raised);
    rig.window.installEventFilter(&watch);
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 1, 2, 3 }));
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    const int before = raised;
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 3, 2, 1 }));
    QVERIFY(raised > before);
    rig.window.showMinimized();
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 2, 2, 2 }));
    QVERIFY(!rig.window.isMinimized());
    QVERIFY(rig.window.isVisible());
}

void TstGraphWindow::showsThePointUnderTheMouse()
{
    Rig rig;
    rig.window.DrawFFT(request(MonitoringKind::Spectrum, { 5, 6, 7, 8, 9 }));
    rig.f.FFT_Graph->setFixedSize(400, 100);
    QMouseEvent move(
        QEvent::MouseMove, QPointF(210, 50), QPointF(210, 50), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(rig.f.FFT_Graph, &move);
    QCOMPARE(rig.f.PointValueText->text(), QString("Point 2: 7"));
}

QTEST_MAIN(TstGraphWindow)
#include "tst_graph_window.moc"
