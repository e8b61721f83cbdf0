#include "support/main_window_rig.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui_multi_sensor_calibration_window.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto;

namespace {

struct Fixture : test::MainWindowRig {
    ui::MultiSensorCalibrationWindow* calibration()
    {
        const auto found
            = window().findChildren<ui::MultiSensorCalibrationWindow*>("FormMultiSensorCalibration");
        return found.size() == 1 ? found.first() : nullptr;
    }
};

} // namespace

// "&Calibration " in the Option menu: the calibration window in place of the main window, its
// frames usable only with a connection, the byte link on the line while connected.
class TstCalibrationTool : public QObject {
    Q_OBJECT
private slots:
    void disconnectedOpensWithTheFramesDisabled();
    void connectedHandsTheLineToTheByteLink();
};

void TstCalibrationTool::disconnectedOpensWithTheFramesDisabled()
{
    Fixture fx;
    fx.window().show();
    fx.trigger("mnuOrvix50H");
    QVERIFY(fx.window().entry("mnuCalibration")->isEnabled());
    fx.trigger("mnuCalibration");
    auto* calibration = fx.calibration();
    QVERIFY(calibration);
    QVERIFY(calibration->isVisible());
    QVERIFY(!fx.window().isVisible());
    QVERIFY(!calibration->form().CurrentCalibrationFrame->isEnabled());
    QVERIFY(!calibration->form().RelaysStatusFrame->isEnabled());
    QVERIFY(!fx.link.isOpen());

    calibration->close();
    QVERIFY(fx.window().isVisible());
    fx.trigger("mnuCalibration");
    QCOMPARE(fx.calibration(), calibration);
}

void TstCalibrationTool::connectedHandsTheLineToTheByteLink()
{
    Fixture fx;
    fx.connect();
    fx.master.openPort("/dev/ttyFAKE0", "9600,n,8,1");
    fx.window().TimerVeltoProtocol->start();
    fx.trigger("mnuOrvix50H");
    QSignalSpy stopped(&fx.window(), &ui::MainWindow::pollingStopped);
    fx.trigger("mnuCalibration");
    auto* calibration = fx.calibration();
    QVERIFY(calibration);
    QVERIFY(!fx.window().isVisible());
    QVERIFY(fx.link.isOpen());
    QCOMPARE(fx.link.openedPort, QString("/dev/ttyFAKE0"));
    QVERIFY(!fx.master.portOpen());
    QVERIFY(!fx.window().TimerVeltoProtocol->isActive());
    QCOMPARE(stopped.size(), 1);
    QVERIFY(calibration->form().UltrasonicTransceiverCalibrationFrame->isEnabled());
    QTest::mouseClick(calibration->form().RelayNo1Check, Qt::LeftButton);
    QCOMPARE(fx.link.written.size(), 1);
    QCOMPARE(fx.controller.state().calibration.relay(1), true);
}

QTEST_MAIN(TstCalibrationTool)
#include "tst_calibration_tool.moc"
