#include "support/main_window_rig.h"
#include "ui/form_rendo.h"
#include "ui_form_rendo.h"

#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace velto;

namespace {

struct Fixture : test::MainWindowRig {
    QString text(const char* box) { return window().findChild<QLineEdit*>(box)->text(); }
    ui::FormRendo* radar()
    {
        const auto found = window().findChildren<ui::FormRendo*>(QStringLiteral("FormRendo"));
        return found.size() == 1 ? found.first() : nullptr;
    }
};

} // namespace

// The radar window opened from Device > Rendo > Operation and left by Exit.
class TstRadarWindow : public QObject {
    Q_OBJECT
private slots:
    void operationWhileConnected();
    void operationWhileDisconnected();
    void exitLeavesNoStaleReadings();
};

void TstRadarWindow::operationWhileConnected()
{
    Fixture fx;
    fx.window().show();
    fx.connect();
    fx.trigger("mnuOperation");
    QPointer<ui::FormRendo> radar = fx.radar();
    QVERIFY(radar);
    QVERIFY(radar->isVisible());
    QVERIFY(!fx.window().isVisible());
    QVERIFY(fx.link.isOpen());
    QCOMPARE(fx.link.openedSettings, QString("9600,n,8,1"));
    QCOMPARE(fx.text("DeviceText"), QString("Rendo"));
    QCOMPARE(fx.text("ProtocolTypeText"), QString("N/A"));
    QVERIFY(!fx.enabled("mnuOption"));
    QVERIFY(!fx.enabled("mnuLog"));
    QVERIFY(radar->form().Standby->isEnabled());

    // A command runs on the radar window's own Timer_Rx.
    QPointer<QTimer> timerRx = radar->findChild<QTimer*>(QStringLiteral("Timer_Rx"));
    QVERIFY(timerRx);
    QTest::mouseClick(radar->form().SendStatus, Qt::LeftButton);
    QCOMPARE(fx.link.written.size(), 1);
    QVERIFY(timerRx->isActive());

    QTest::mouseClick(radar->form().ExitCommand, Qt::LeftButton);
    QVERIFY(fx.window().isVisible());
    QVERIFY(!timerRx || !timerRx->isActive());
    QVERIFY(!fx.window().findChild<QWidget*>("pictTank")->isVisible());
    QTRY_VERIFY(radar.isNull());

    // Opened again, the window starts from its defaults.
    fx.trigger("mnuOperation");
    QVERIFY(fx.radar());
    QCOMPARE(fx.radar()->form().ModeText->text(), QString("N/A"));
}

void TstRadarWindow::operationWhileDisconnected()
{
    Fixture fx;
    fx.window().show();
    fx.trigger("mnuOperation");
    ui::FormRendo* radar = fx.radar();
    QVERIFY(radar);
    QVERIFY(!fx.link.isOpen());
    for (QWidget* button : std::initializer_list<QWidget*> { radar->form().Standby, radar->form().Track,
             radar->form().Set_Parameters, radar->form().SendStatus, radar->form().MonitoringCommand,
             radar->form().StartOrStopMeasCommand })
        QVERIFY(!button->isEnabled());
    QCOMPARE(radar->form().TextTerminaTextBox->toPlainText(), QString("N/A"));
    QVERIFY(!fx.enabled("mnuLog"));
    QVERIFY(!fx.window().isVisible());
}

void TstRadarWindow::exitLeavesNoStaleReadings()
{
    Fixture fx;
    fx.window().show();
    fx.connect();
    fx.trigger("mnuVeltoProtocol");
    // What the last Velto ticks showed.
    for (const char* box : { "TxtVeltoDist", "TextVeltoLevel", "TextVeltoTemp", "IrVeltoTnakHeight" })
        fx.window().findChild<QLineEdit*>(box)->setText("3.2100");
    ui::MainWindow::setStyledText(
        fx.window().findChild<QWidget*>("VeltoDevSta"), "Echo Lost", true, QColor(Qt::red));
    fx.trigger("mnuOperation");
    QVERIFY(fx.radar());
    QTest::mouseClick(fx.radar()->form().ExitCommand, Qt::LeftButton);
    QVERIFY(fx.window().isVisible());
    for (const char* box : { "TxtVeltoDist", "TextVeltoLevel", "TextVeltoTemp", "IrVeltoTnakHeight",
             "VeltoDevSta", "IrDistance" })
        QCOMPARE(fx.text(box), QString("N/A"));
    QVERIFY(!fx.window().findChild<QLineEdit*>("VeltoDevSta")->font().bold());
    QCOMPARE(fx.text("DeviceText"), QString("Rendo"));
}

QTEST_MAIN(TstRadarWindow)
#include "tst_radar_window.moc"
