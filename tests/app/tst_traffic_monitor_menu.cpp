// The traffic monitor as the program opens it: from the Connection menu and from the tool windows,
// watching the main window's real lines to the simulated sensors.
#include "app/main_controller.h"
#include "flash/flash_burner.h"
#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"
#include "sim/intel_hex.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"
#include "support/fake_prompter.h"
#include "support/offscreen_screen.h"
#include "support/serial_rtu_master.h"
#include "traffic/traffic_recorder.h"
#include "ui/flash_burning_window.h"
#include "ui/form_rendo.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui/registers_test_window.h"
#include "ui/taliq485_debug_window.h"
#include "ui/traffic_monitor_window.h"
#include "ui/traffic_table_model.h"
#include "ui_flash_burning_window.h"
#include "ui_form_rendo.h"
#include "ui_main_window.h"
#include "ui_multi_sensor_calibration_window.h"
#include "ui_port_setup_window.h"
#include "ui_registers_test_window.h"
#include "ui_taliq485_debug_window.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

using namespace velto;
using traffic::Direction;
using traffic::Protocol;

namespace {

constexpr int kWaitMs = 15000;

struct Bench {
    sim::SimulatedLine line;
    sim::SimulatedLine debugLine;
    test::SerialRtuMaster master;
    serial::QtByteLink port;
    serial::TappedByteLink link { port };
    test::FakePrompter prompter;
    QList<serial::PortChoice> ports { { line.devicePath(), line.devicePath(), false } };
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {},
        [this] { return debugLine.devicePath(); } } };

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
    ui::TrafficMonitorWindow* monitor()
    {
        return qobject_cast<ui::TrafficMonitorWindow*>(controller.tools().trafficMonitor());
    }
    // Rows of the monitor's view of one protocol and direction, once the batch tick has run.
    int rows(ui::TrafficMonitorWindow* w, Protocol protocol, Direction direction)
    {
        int n = 0;
        const traffic::RowRing& ring = w->rows().rows();
        for (qsizetype i = 0; i < ring.size(); ++i)
            n += ring.at(i).protocol == protocol && ring.at(i).direction == direction;
        return n;
    }
    // The first row of the protocol and direction whose summary starts so; an Event row when none.
    traffic::TrafficRow rowStarting(
        ui::TrafficMonitorWindow* w, Protocol protocol, Direction direction, const QString& start)
    {
        const traffic::RowRing& ring = w->rows().rows();
        for (qsizetype i = 0; i < ring.size(); ++i) {
            const traffic::TrafficRow& row = ring.at(i);
            if (row.protocol == protocol && row.direction == direction && row.summary.startsWith(start))
                return row;
        }
        return {};
    }
    int failures(ui::TrafficMonitorWindow* w)
    {
        int n = 0;
        const traffic::RowRing& ring = w->rows().rows();
        for (qsizetype i = 0; i < ring.size(); ++i)
            n += ring.at(i).failure;
        return n;
    }
    bool hasRow(ui::TrafficMonitorWindow* w, const QString& summary)
    {
        const traffic::RowRing& ring = w->rows().rows();
        for (qsizetype i = 0; i < ring.size(); ++i) {
            if (ring.at(i).summary == summary)
                return true;
        }
        return false;
    }
};

} // namespace

class TestTrafficMonitorMenu : public QObject {
    Q_OBJECT

private slots:
    // One new entry after Disconnect, nothing else in the menu moves.
    void connectionMenuEntry()
    {
        Bench b;
        QMenu* menu = b.window().findChild<QMenu*>("mnuConnection");
        QVERIFY(menu);
        QCOMPARE(menu->actions(),
            (QList<QAction*> { b.window().entry("mnuConnect"), b.window().entry("mnuDisConnect"),
                b.window().entry("mnuTrafficMonitor") }));
        QCOMPARE(b.window().entry("mnuTrafficMonitor")->text(), QString("&Traffic Monitor..."));
        QVERIFY(b.window().entry("mnuTrafficMonitor")->isEnabled());

        b.trigger("mnuTrafficMonitor");
        ui::TrafficMonitorWindow* w = b.monitor();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(w->isWindow());
        QVERIFY(b.controller.context().traffic->isRecording());
        // The same window, however often it is asked for.
        b.trigger("mnuTrafficMonitor");
        QCOMPARE(b.monitor(), w);
        w->close();
        QVERIFY(!b.controller.context().traffic->isRecording());
    }

    // The main window's Modbus polling and Velto protocol on the simulated sensors, as rows.
    void watchesTheMainWindowsLines()
    {
        Bench b;
        QVERIFY(b.line.isValid());
        b.window().show();
        ui::TrafficMonitorWindow* w = b.monitor();
        b.connectTo(b.line.devicePath());
        QTRY_VERIFY_WITH_TIMEOUT(
            b.hasRow(w, QStringLiteral("Connected: %1 at 9600,n,8,1").arg(b.line.devicePath())), kWaitMs);

        b.trigger("mnuOrvix25");
        b.trigger("mnuOrvixRegisters");
        QTRY_VERIFY_WITH_TIMEOUT(b.rows(w, Protocol::ModbusRtu, Direction::Rx) >= 2, kWaitMs);
        QVERIFY(b.rows(w, Protocol::ModbusRtu, Direction::Tx) >= 2);

        // The simulated ASCII sensor answers at its own address.
        b.window()
            .findChild<QLineEdit*>("TxtOrvixId")
            ->setText(QString::number(sim::SensorSimulator::kAsciiSingleAddress));
        b.trigger("mnuVeltoProtocol");
        QTRY_VERIFY_WITH_TIMEOUT(b.rows(w, Protocol::VeltoAscii, Direction::Rx) >= 1, kWaitMs);
        QVERIFY(b.rows(w, Protocol::VeltoAscii, Direction::Tx) >= 1);
        QVERIFY(b.hasRow(w, QStringLiteral("Port %1 opened at 9600,n,8,1").arg(b.line.devicePath())));
        b.trigger("mnuDisConnect");
    }

    // The radar window's button opens the monitor; its commands and replies on the main window's line
    // show as radar rows named by their command.
    void radarWindowExchange()
    {
        Bench b;
        b.window().show();
        b.connectTo(b.line.devicePath());
        b.trigger("mnuOperation");
        auto* radar = b.window().findChild<ui::FormRendo*>(QStringLiteral("FormRendo"));
        QVERIFY(radar);
        QVERIFY(!b.window().findChild<ui::TrafficMonitorWindow*>());
        radar->form().TrafficMonitorCommand->click();
        auto* w = b.window().findChild<ui::TrafficMonitorWindow*>();
        QVERIFY(w && w->isVisible());
        QCOMPARE(b.monitor(), w);

        radar->form().SendStatus->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !b.rowStarting(w, Protocol::Radar, Direction::Rx, "reply to Send Status").bytes.isEmpty(),
            kWaitMs);
        const traffic::TrafficRow sent = b.rowStarting(w, Protocol::Radar, Direction::Tx, "Send Status");
        QCOMPARE(sent.bytes.size(), 18);
        QVERIFY(sent.summary.endsWith("checksum ok"));
        const traffic::TrafficRow reply
            = b.rowStarting(w, Protocol::Radar, Direction::Rx, "reply to Send Status");
        QCOMPARE(reply.bytes.size(), 13);
        QVERIFY2(reply.summary.contains(": distance ") && reply.summary.endsWith("checksum ok"),
            qPrintable(reply.summary));
        QCOMPARE(b.failures(w), 0);
        radar->form().ExitCommand->click();
        b.trigger("mnuDisConnect");
    }

    // The flash window's button opens the monitor; a flash erase on the main window's line shows as
    // the bootloader's command and its answer, judged.
    void flashWindowExchange()
    {
        Bench b;
        b.window().show();
        b.connectTo(b.line.devicePath());
        b.trigger("mnuFlashBurning");
        auto* flash = b.window().findChild<ui::FlashBurningWindow*>(QStringLiteral("FormFlashburning"));
        QVERIFY(flash);
        QVERIFY(!b.window().findChild<ui::TrafficMonitorWindow*>());
        flash->form().TrafficMonitorCommand->click();
        auto* w = b.window().findChild<ui::TrafficMonitorWindow*>();
        QVERIFY(w && w->isVisible());

        b.prompter.yesNoAnswers.enqueue(true);
        flash->form().FlashEraseCommand->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !b.rowStarting(w, Protocol::Flash, Direction::Rx, "Flash Erase Succeeded").bytes.isEmpty(),
            kWaitMs);
        QCOMPARE(b.rowStarting(w, Protocol::Flash, Direction::Tx, "flash erase").bytes, QByteArray(">B4"));
        QCOMPARE(b.rowStarting(w, Protocol::Flash, Direction::Rx, "Flash Erase Succeeded").bytes,
            QByteArray("<\xB5"));
        QCOMPARE(b.failures(w), 0);
        flash->close();
        b.trigger("mnuDisConnect");
    }

    // A burn aborted by closing its window shows in the monitor beside its bytes; the simulated
    // bootloader then leaves the line to the sensors, so the radar's first command is answered.
    void anAbortedBurnShowsAndLeavesTheLine()
    {
        Bench b;
        QTemporaryDir dir;
        QFile hex(dir.filePath("firmware.hex"));
        QVERIFY(hex.open(QIODevice::WriteOnly));
        hex.write(sim::sampleHexFile(300));
        hex.close();
        b.window().show();
        b.connectTo(b.line.devicePath());
        b.trigger("mnuFlashBurning");
        QPointer<ui::FlashBurningWindow> flash
            = b.window().findChild<ui::FlashBurningWindow*>(QStringLiteral("FormFlashburning"));
        QVERIFY(flash);
        flash->form().TrafficMonitorCommand->click();
        auto* w = b.window().findChild<ui::TrafficMonitorWindow*>();
        QVERIFY(w);

        b.prompter.fileAnswers.enqueue(hex.fileName());
        flash->form().BrowseCommand->click();
        // No converter next to the test: burn the file as it is, then abort at line 20.
        b.prompter.yesNoAnswers.enqueue(true);
        b.prompter.yesNoAnswers.enqueue(true);
        QObject::connect(&flash->burner(), &flash::FlashBurner::progressChanged, flash, [&flash](int line) {
            if (line == 20)
                flash->close();
        });
        flash->form().SendHEXFileCommand->click();
        QTRY_VERIFY_WITH_TIMEOUT(!flash, kWaitMs);
        const QString aborted = QStringLiteral(
            "Flash burning was aborted after 19 of 300 lines: the sensor's flash is incomplete.");
        QCOMPARE(b.prompter.lastText(), aborted);
        QTRY_VERIFY(b.hasRow(w, aborted));

        b.trigger("mnuOperation");
        auto* radar = b.window().findChild<ui::FormRendo*>(QStringLiteral("FormRendo"));
        QVERIFY(radar);
        radar->form().SendStatus->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !b.rowStarting(w, Protocol::Radar, Direction::Rx, "reply to Send Status").bytes.isEmpty(),
            kWaitMs);
        // Not the bootloader's "bad start code" to a radar frame.
        QVERIFY(b.rowStarting(w, Protocol::Flash, Direction::Rx, "Incorrect Start Code").bytes.isEmpty());
        radar->form().ExitCommand->click();
        b.trigger("mnuDisConnect");
    }

    // Every tool window that talks to the line opens the same monitor; the debug terminal's line
    // shows as the debug protocol.
    void toolWindowsOpenTheSameMonitor()
    {
        Bench b;
        b.window().show();
        ui::TrafficMonitorWindow* w = b.monitor();

        b.connectTo(b.line.devicePath());
        b.trigger("mnuRegistersTest");
        auto* registers = b.window().findChild<ui::RegistersTestWindow*>();
        QVERIFY(registers);
        w->close();
        registers->form().TrafficMonitorCommand->click();
        QCOMPARE(b.monitor(), w);
        QVERIFY(w->isVisible());
        registers->Exit_Click();

        auto* calibration
            = qobject_cast<ui::MultiSensorCalibrationWindow*>(b.controller.tools().calibration(true));
        QVERIFY(calibration);
        w->close();
        calibration->form().TrafficMonitorCommand->click();
        QVERIFY(w->isVisible());
        calibration->close();

        b.trigger("mnuDisConnect");
        b.trigger("mnuTaliq485Debug");
        auto* debug = qobject_cast<ui::Taliq485DebugWindow*>(b.controller.tools().debugTerminal());
        QVERIFY(debug);
        w->close();
        debug->form().mnuTrafficMonitor->trigger();
        QVERIFY(w->isVisible());
        b.debugLine.startDebugOutput();
        b.connectTo(QStringLiteral("Simulated Taliq485 debug output"));
        debug->form().mnuStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(b.rows(w, Protocol::Debug, Direction::Rx) >= 2, kWaitMs);
        debug->form().mnuStop->trigger();
        debug->close();
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestTrafficMonitorMenu, 1366, 768)
#include "tst_traffic_monitor_menu.moc"
