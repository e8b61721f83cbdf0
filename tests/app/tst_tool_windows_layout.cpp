// The windows opened from the main window's menus on a 1366x768 laptop screen: each lies wholly on
// the screen, centred over the main window it replaces, and can be made smaller than it opens.
#include "app/main_controller.h"
#include "app/splash_window.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "support/main_window_rig.h"
#include "ui/multiple_devices_window.h"
#include "ui/registers_test_window.h"
#include "ui_port_setup_window.h"

#include <QApplication>
#include <QScreen>

#include "support/offscreen_screen.h"

using namespace velto;

class TestToolWindowsLayout : public QObject {
    Q_OBJECT

    struct Fixture : test::MainWindowRig {
        // The main window placed off centre, so a window merely put mid-screen is told apart.
        void showOffCentre()
        {
            window().show();
            QVERIFY(QTest::qWaitForWindowExposed(&window()));
            window().resize(700, 500);
            window().move(40, 30);
        }
        void connect()
        {
            trigger("mnuConnect");
            QTest::mouseClick(controller.connection().portWindow()->form().btnOKPortSetUp, Qt::LeftButton);
            trigger("mnuOrvix25");
        }
        template <typename T> T* tool(const char* name)
        {
            return window().findChild<T*>(QString::fromLatin1(name));
        }
    };

    static QRect screenArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    static void verifyFitsOver(QWidget* tool, const QWidget& over)
    {
        QVERIFY(tool);
        QVERIFY(QTest::qWaitForWindowExposed(tool));
        QVERIFY2(screenArea().contains(tool->frameGeometry()),
            qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                           .arg(tool->objectName())
                           .arg(tool->frameGeometry().x())
                           .arg(tool->frameGeometry().y())
                           .arg(tool->frameGeometry().width())
                           .arg(tool->frameGeometry().height())));
        // Centred over the main window, as far as the screen's edge lets it be.
        const QRect frame = tool->frameGeometry();
        const QPoint wanted = over.frameGeometry().center();
        const int slackX = std::max(0, frame.width() / 2 - wanted.x()) + 4;
        const int slackY = std::max(0, frame.height() / 2 - wanted.y()) + 4;
        QVERIFY(std::abs(frame.center().x() - wanted.x()) <= slackX);
        QVERIFY(std::abs(frame.center().y() - wanted.y()) <= slackY);
        // Resizable: the user may make it smaller than it opened.
        const QSize minimum = tool->minimumSizeHint().expandedTo(tool->minimumSize());
        QVERIFY(minimum.width() <= tool->width() && minimum.height() <= tool->height());
        QVERIFY(tool->maximumSize().width() > tool->width());
    }

private slots:
    void initTestCase()
    {
        if (screenArea().size() != QSize(1366, 768))
            QSKIP("needs the offscreen platform's 1366x768 screen");
    }

    void registerToolsOpenOverTheMainWindow()
    {
        Fixture fx;
        fx.showOffCentre();
        fx.connect();
        fx.trigger("mnu5Devices");
        auto* devices = fx.tool<ui::MultipleDevicesWindow>("FormMultipleDevicesModbus");
        verifyFitsOver(devices, fx.window());
        fx.window().TimerForModbusDevices->stop();
        devices->Exit_Click();

        fx.trigger("mnuRegistersTest");
        auto* registers = fx.tool<ui::RegistersTestWindow>("FormSingleMultiRegisters");
        verifyFitsOver(registers, fx.window());
        registers->Exit_Click();
    }

    void aboutOpensOverTheMainWindow()
    {
        Fixture fx;
        fx.showOffCentre();
        fx.trigger("mnuAbout");
        verifyFitsOver(fx.window().findChild<QWidget*>("frmAbout"), fx.window());
    }

    void splashOpensMidScreen()
    {
        app::SplashWindow splash;
        splash.Timer1->stop();
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QVERIFY(screenArea().contains(splash.frameGeometry()));
        QVERIFY((splash.frameGeometry().center() - screenArea().center()).manhattanLength() <= 4);
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestToolWindowsLayout, 1366, 768)
#include "tst_tool_windows_layout.moc"
