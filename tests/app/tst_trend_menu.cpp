// The trend window as the program opens it, over the simulated sensors: from the Option menu in the
// register and Velto modes, from the multiple-devices window, and its two files read back.
#include "app/main_controller.h"
#include "serial/qt_byte_link.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"
#include "support/fake_prompter.h"
#include "support/image_pixels.h"
#include "support/offscreen_screen.h"
#include "support/serial_rtu_master.h"
#include "ui/multiple_devices_window.h"
#include "ui/screen_fit.h"
#include "ui/trend_canvas.h"
#include "ui/trend_window.h"
#include "ui_main_window.h"
#include "ui_multiple_devices_window.h"
#include "ui_port_setup_window.h"
#include "ui_trend_window.h"

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace velto;
using test::notWhite;

namespace {

constexpr int kWaitMs = 20000;

struct Bench {
    sim::SimulatedLine line;
    test::SerialRtuMaster master;
    serial::QtByteLink link;
    test::FakePrompter prompter;
    QList<serial::PortChoice> ports { { line.devicePath(), line.devicePath(), false } };
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {}, {} } };

    ui::MainWindow& window() { return controller.window(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    void connect()
    {
        window().show();
        trigger("mnuConnect");
        Ui::PortSetup& p = controller.connection().portWindow()->form();
        p.cmbPortNum->setCurrentIndex(p.cmbPortNum->findText(line.devicePath()));
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
    }
    ui::TrendWindow* trend() { return qobject_cast<ui::TrendWindow*>(controller.tools().trend()); }
};

// The legend's series that the plot shows now.
QStringList shownLabels(ui::TrendWindow* w)
{
    QStringList out;
    QListWidget* legend = w->form().LegendList;
    for (int row = 0; row < legend->count(); ++row) {
        if (!legend->item(row)->isHidden() && legend->item(row)->checkState() == Qt::Checked)
            out << legend->item(row)->text();
    }
    return out;
}

} // namespace

class TestTrendMenu : public QObject {
    Q_OBJECT

private slots:
    // The last entry of the Option menu; nothing else in it moves.
    void optionMenuEntry()
    {
        Bench b;
        QMenu* option = b.window().findChild<QMenu*>("mnuOption");
        QCOMPARE(option->actions(),
            (QList<QAction*> { b.window().entry("mnuModBus"), b.window().entry("mnuVeltoProtocol"),
                b.window().entry("mnuCalibration"), b.window().entry("mnuTrend") }));
        QCOMPARE(b.window().entry("mnuTrend")->text(), QString("&Trend..."));
        b.trigger("mnuTrend");
        ui::TrendWindow* w = b.trend();
        QVERIFY(w && w->isVisible() && w->isWindow());
        QCOMPARE(w->objectName(), QString("FormTrend"));
        QCOMPARE(w->windowTitle(), QString("Trend"));
        // Usable on the laptop screen.
        QVERIFY(ui::availableArea(w).contains(w->frameGeometry()));
        b.trigger("mnuTrend");
        QCOMPARE(b.trend(), w);
    }

    // The register mode with two sensors: one series per reading and sensor; the picture and the
    // data written through the file dialogs and read back.
    void registerModeAndFiles()
    {
        Bench b;
        b.connect();
        b.trigger("mnuOrvix25");
        b.trigger("mnuOrvixRegisters");
        Ui::ProtocolChoose& f = b.window().form();
        b.window().TimerForJump2DevicesModbus->setInterval(300);
        f.NoOfUnitCombo->setCurrentIndex(1);
        emit f.NoOfUnitCombo->activated(1);
        b.trigger("mnuTrend");
        ui::TrendWindow* w = b.trend();
        QTRY_VERIFY_WITH_TIMEOUT(shownLabels(w).contains("ID 2 Level (meter)"), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(shownLabels(w).contains("ID 1 Level (meter)"), kWaitMs);
        QVERIFY(shownLabels(w).contains("ID 1 Distance (meter)"));
        QVERIFY(shownLabels(w).contains("ID 2 Temperature (°C)"));
        QVERIFY(w->form().RegisterCombo->isHidden());
        // Two units: two value axes.
        QTRY_COMPARE(w->canvas().geometry().axes.size(), qsizetype(2));
        b.trigger("mnuDisConnect");

        QTemporaryDir dir;
        b.prompter.fileAnswers << dir.filePath("trend") << dir.filePath("trend.csv");
        w->form().SavePictureCommand->click();
        w->form().SaveDataCommand->click();
        QVERIFY(b.prompter.messages.isEmpty());
        QImage picture(dir.filePath("trend.png"));
        QVERIFY(picture.width() >= 900 && picture.height() >= 560);
        QVERIFY(notWhite(picture) > 5000);

        QFile csv(dir.filePath("trend.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.first(), QString("time,series,value"));
        QVERIFY(rows.size() > 6);
        int level2 = 0;
        for (const QString& row : rows.mid(1)) {
            QCOMPARE(row.count(','), 2);
            level2 += row.contains(",ID 2 Level (meter),");
        }
        QVERIFY(level2 > 0);

        // A series unticked leaves the plot and the data file.
        QListWidgetItem* first = w->form().LegendList->item(0);
        first->setCheckState(Qt::Unchecked);
        QVERIFY(!shownLabels(w).contains(first->text()));
        QCOMPARE(w->canvas().shown().size(), shownLabels(w).size());
    }

    // Zoom, pan, Pause and Follow, and the crosshair's readout.
    void zoomPanAndReadout()
    {
        Bench b;
        b.connect();
        b.trigger("mnuOrvix25");
        b.trigger("mnuOrvixRegisters");
        b.trigger("mnuTrend");
        ui::TrendWindow* w = b.trend();
        ui::TrendCanvas& canvas = w->canvas();
        QTRY_VERIFY_WITH_TIMEOUT(shownLabels(w).contains("ID 1 Level (meter)"), kWaitMs);
        QVERIFY(canvas.view().following);
        QVERIFY(!w->form().PauseCommand->isChecked());

        QTRY_COMPARE_WITH_TIMEOUT(canvas.geometry().axes.size(), qsizetype(2), kWaitMs);
        const QRectF plot = canvas.geometry().plot;
        const QPoint centre = plot.center().toPoint();
        QMouseEvent move(QEvent::MouseMove, centre, canvas.mapToGlobal(centre), Qt::NoButton, Qt::NoButton,
            Qt::NoModifier);
        QApplication::sendEvent(&canvas, &move);
        const QString readout = w->form().ReadoutLabel->text();
        QVERIFY2(readout.contains(" meter") && readout.contains(" °C"), qPrintable(readout));

        // A drag over the middle half zooms to that time and pauses.
        const qint64 before = canvas.geometry().span.length();
        QTest::mousePress(
            &canvas, Qt::LeftButton, {}, QPoint(int(plot.left() + plot.width() / 4), centre.y()));
        QTest::mouseMove(&canvas, QPoint(int(plot.right() - plot.width() / 4), centre.y()));
        QTest::mouseRelease(
            &canvas, Qt::LeftButton, {}, QPoint(int(plot.right() - plot.width() / 4), centre.y()));
        QVERIFY(!canvas.view().following);
        QVERIFY(w->form().PauseCommand->isChecked());
        const qint64 zoomed = canvas.view().paused.length();
        QVERIFY2(qAbs(zoomed - std::max<qint64>(before / 2, 1000)) <= before / 50 + 1,
            qPrintable(QString("%1 of %2").arg(zoomed).arg(before)));

        // The wheel over a value axis sets that axis by hand.
        const QRectF band = canvas.geometry().axes.first().band;
        QWheelEvent wheel(band.center(), canvas.mapToGlobal(band.center()), {}, QPoint(0, 120), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&canvas, &wheel);
        QVERIFY(canvas.manualRanges().contains("meter"));
        QCOMPARE(w->form().AxisCombo->currentText(), QString("meter"));
        QVERIFY(!w->form().AutoScaleCheck->isChecked());
        w->form().AutoScaleCheck->setChecked(true);
        QVERIFY(canvas.manualRanges().isEmpty());

        // Follow again: the span keeps its length and ends at the latest reading.
        w->form().PauseCommand->click();
        QVERIFY(canvas.view().following);
        QCOMPARE(canvas.view().length, std::optional<qint64>(zoomed));
        w->form().FullRangeCommand->click();
        QVERIFY(canvas.view().following && !canvas.view().length);
        b.trigger("mnuDisConnect");
    }

    // The multiple-devices window opens the same trend: one series per device, register by register.
    void multipleDevices()
    {
        Bench b;
        b.connect();
        b.trigger("mnu2Devices");
        auto* devices = b.window().findChild<ui::MultipleDevicesWindow*>("FormMultipleDevicesModbus");
        QVERIFY(devices && devices->isVisible());
        devices->form().TrendCommand->click();
        ui::TrendWindow* w = b.trend();
        QVERIFY(w && w->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(shownLabels(w),
            (QStringList { "Device 2 (ID 2) R1 (raw)", "Device 1 (ID 1) R1 (raw)" }), kWaitMs);
        QVERIFY(w->form().RegisterCombo->isVisible());
        QCOMPARE(w->form().RegisterCombo->currentText(), QString("R1"));
        w->form().RegisterCombo->setCurrentText("R0");
        QCOMPARE(shownLabels(w), (QStringList { "Device 2 (ID 2) R0 (raw)", "Device 1 (ID 1) R0 (raw)" }));
        devices->form().ExitCommand->click();
        b.trigger("mnuDisConnect");
    }

    // The Velto mode: the readings of the address, a sensor each.
    void veltoMode()
    {
        Bench b;
        b.connect();
        b.window().form().TxtOrvixId->setText(QString::number(sim::SensorSimulator::kAsciiPairAddress));
        b.trigger("mnuVeltoProtocol");
        b.trigger("mnuTrend");
        ui::TrendWindow* w = b.trend();
        QTRY_VERIFY_WITH_TIMEOUT(shownLabels(w).contains("Address 20 Sensor 2 Level (meter)"), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(shownLabels(w).contains("Address 20 Sensor 1 Temperature (°C)"), kWaitMs);
        // Sensor 1's tank height is asked every other tick.
        QTRY_VERIFY_WITH_TIMEOUT(shownLabels(w).contains("Address 20 Sensor 1 Tank Height (meter)"), kWaitMs);
        b.trigger("mnuDisConnect");
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestTrendMenu, 1366, 768)
#include "tst_trend_menu.moc"
