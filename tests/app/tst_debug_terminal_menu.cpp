// The debug terminal as the main window's "&Taliq485 Debug" opens it, on real lines: a test peer
// on a pseudo-terminal, and the simulated Taliq485 of the port list.
#include "app/main_controller.h"
#include "debugterm/debug_terminal.h"
#include "serial/qt_byte_link.h"
#include "sim/simulated_line.h"
#include "support/fake_prompter.h"
#include "support/offscreen_screen.h"
#include "support/pty_pair.h"
#include "support/serial_rtu_master.h"
#include "ui/taliq485_debug_window.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"
#include "ui_taliq485_debug_window.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QtTest>

using namespace velto;

namespace {

constexpr int kWaitMs = 10000;

struct Bench {
    test::PtyPair pty;
    sim::SimulatedLine debugLine;
    test::SerialRtuMaster master;
    serial::QtByteLink link;
    test::FakePrompter prompter;
    QList<serial::PortChoice> ports { { pty.slavePath(), pty.slavePath(), false } };
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {},
        [this] { return debugLine.devicePath(); } } };

    Bench() { debugLine.startDebugOutput(); }
    ui::MainWindow& window() { return controller.window(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    void connectTo(const QString& portText)
    {
        trigger("mnuConnect");
        Ui::PortSetup& p = controller.connection().portWindow()->form();
        const int index = p.cmbPortNum->findText(portText);
        QVERIFY(index >= 0);
        p.cmbPortNum->setCurrentIndex(index);
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
    }
    ui::Taliq485DebugWindow* openDebug()
    {
        trigger("mnuTaliq485Debug");
        return qobject_cast<ui::Taliq485DebugWindow*>(controller.tools().debugTerminal());
    }
    QString screen(ui::Taliq485DebugWindow* w)
    {
        w->terminal().flushScreen();
        return w->form().DebugWindowText->toPlainText();
    }
};

} // namespace

class TestDebugTerminalMenu : public QObject {
    Q_OBJECT

private slots:
    // Opened while disconnected: the main window steps aside until Exit; Exit unloads the window.
    void opensInPlaceOfTheMainWindow()
    {
        Bench b;
        b.window().show();
        b.window().form().DeviceText->setText("Orvix25");
        QPointer<ui::Taliq485DebugWindow> w = b.openDebug();
        QVERIFY(w);
        QCOMPARE(w->objectName(), QString("FormTaliq485Debug"));
        QVERIFY(w->isVisible());
        QVERIFY(!b.window().isVisible());
        QCOMPARE(b.window().form().DeviceText->text(), QString("Orvix25"));
        QVERIFY(w->findChild<serial::ByteLink*>("Taliq485MSComm"));
        // On a laptop screen: whole, and centred where the main window was.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        if (area.size() == QSize(1366, 768)) {
            QVERIFY(area.contains(w->frameGeometry()));
            const QPoint offset = w->frameGeometry().center() - b.window().frameGeometry().center();
            QVERIFY2(
                offset.manhattanLength() <= 40, qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
        }
        // Its menus are its own: the main window still finds its own entries by name.
        QCOMPARE(b.window().entry("mnuExit")->parent(), &b.window());

        w->form().mnuExit->trigger();
        QVERIFY(b.window().isVisible());
        QTRY_VERIFY(!w);
    }

    // Not connected: the first serial port found, at 9600,n,8,1.
    void listensOnTheFirstPortWhenNotConnected()
    {
        Bench b;
        ui::Taliq485DebugWindow* w = b.openDebug();
        w->form().mnuStart->trigger();
        QVERIFY2(b.prompter.messages.isEmpty(), qPrintable(b.prompter.lastText()));
        QVERIFY(w->terminal().isRunning());
        QVERIFY(b.pty.writeMaster("D 1 RD 2 S 0\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(w->terminal().bytesReceived(), qint64(14), kWaitMs);
        QVERIFY(b.screen(w).startsWith("D 1 RD 2 S 0   "));
        w->form().mnuExit->trigger();
    }

    // Start on the port the main window polls: the main window lets it go.
    void startTakesTheLineFromTheMainWindow()
    {
        Bench b;
        b.connectTo(b.pty.slavePath());
        b.trigger("mnuVeltoProtocol");
        QVERIFY(b.link.isOpen());
        QVERIFY(b.window().TimerVeltoProtocol->isActive());

        ui::Taliq485DebugWindow* w = b.openDebug();
        QCOMPARE(b.window().form().DeviceText->text(), QString("Taliq485"));
        // Opening alone leaves the main window's line as it is.
        QVERIFY(b.link.isOpen());
        w->form().mnuStart->trigger();
        QVERIFY2(b.prompter.messages.isEmpty(), qPrintable(b.prompter.lastText()));
        QVERIFY(!b.link.isOpen());
        QVERIFY(!b.window().TimerVeltoProtocol->isActive());
        QVERIFY(w->terminal().isRunning());

        b.pty.readMasterNow();
        QVERIFY(b.pty.writeMaster("abc\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(b.screen(w).startsWith("abc   "), kWaitMs);
        w->form().mnuStop->trigger();
        QVERIFY(!w->terminal().isRunning());
        w->form().mnuExit->trigger();
    }

    // No hardware: the simulated Taliq485 of the port list prints its records.
    void simulatedTaliq485OnThePortList()
    {
        Bench b;
        b.connectTo("Simulated Taliq485 debug output");
        ui::Taliq485DebugWindow* w = b.openDebug();
        w->form().mnuStart->trigger();
        QVERIFY2(b.prompter.messages.isEmpty(), qPrintable(b.prompter.lastText()));
        QTRY_VERIFY_WITH_TIMEOUT(b.screen(w).contains(" RD2 "), kWaitMs);
        w->form().mnuExit->trigger();
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestDebugTerminalMenu, 1366, 768)
#include "tst_debug_terminal_menu.moc"
