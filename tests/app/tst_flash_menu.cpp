#include "support/main_window_rig.h"
#include "support/offscreen_screen.h"
#include "ui/flash_burning_window.h"
#include "ui_flash_burning_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace velto;

namespace {

struct Fixture : test::MainWindowRig {
    ui::FlashBurningWindow* flashWindow()
    {
        const auto found = window().findChildren<ui::FlashBurningWindow*>(QStringLiteral("FormFlashburning"));
        return found.size() == 1 ? found.first() : nullptr;
    }
};

} // namespace

// "&Flash Burning" from the main window's menu.
class TstFlashMenu : public QObject {
    Q_OBJECT
private slots:
    void connectedOpensTheLineForTheWindow()
    {
        Fixture fx;
        fx.window().show();
        fx.connect();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        QVERIFY(fx.window().TimerModbusDataUpdate->isActive());

        fx.trigger("mnuFlashBurning");
        QPointer<ui::FlashBurningWindow> flash = fx.flashWindow();
        QVERIFY(flash);
        QVERIFY(flash->isVisible());
        QVERIFY(!fx.window().isVisible());
        // On a laptop screen: whole, and centred where the main window was.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        if (area.size() == QSize(1366, 768)) {
            QVERIFY(area.contains(flash->frameGeometry()));
            const QPoint offset = flash->frameGeometry().center() - fx.window().frameGeometry().center();
            QVERIFY2(
                offset.manhattanLength() <= 40, qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
        }
        QCOMPARE(fx.window().findChild<QLineEdit*>("DeviceText")->text(), QStringLiteral("Rendo"));
        // The byte link has the line; nothing else polls it.
        QVERIFY(fx.link.isOpen());
        QVERIFY(!fx.master.portOpen());
        QVERIFY(!fx.window().TimerModbusDataUpdate->isActive());
        QVERIFY(flash->form().BrowseCommand->isEnabled());

        flash->close();
        QVERIFY(fx.window().isVisible());
        QTRY_VERIFY(!flash); // unloaded
        QVERIFY(fx.link.isOpen()); // the port is left open

        // Every opening starts afresh.
        fx.trigger("mnuFlashBurning");
        QVERIFY(fx.flashWindow());
        QCOMPARE(fx.flashWindow()->form().FlashBurningStatusText->text(),
            QStringLiteral("Wait for Sending HEX File"));
    }

    void notConnectedCannotBrowseOrBurn()
    {
        Fixture fx;
        fx.window().show();
        fx.trigger("mnuFlashBurning");
        ui::FlashBurningWindow* flash = fx.flashWindow();
        QVERIFY(flash);
        QVERIFY(flash->isVisible());
        QVERIFY(!fx.window().isVisible());
        QVERIFY(!flash->form().BrowseCommand->isEnabled());
        QVERIFY(!flash->form().SendHEXFileCommand->isEnabled());
        QVERIFY(!fx.link.isOpen());
        // Nothing to erase or test through a port that is not open.
        QVERIFY(!flash->form().FlashEraseCommand->isEnabled());
        QVERIFY(!flash->form().FlashTestCommand->isEnabled());
        flash->close();
        QVERIFY(fx.window().isVisible());
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TstFlashMenu, 1366, 768)
#include "tst_flash_menu.moc"
