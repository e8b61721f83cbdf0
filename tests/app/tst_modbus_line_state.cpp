#include "app/main_controller.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui/multiple_devices_window.h"
#include "ui/registers_test_window.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace velto;
using test::FakeModbusMaster;

namespace {

// Far beyond any test's length: the tests fire the poll ticks themselves.
constexpr int kNeverMs = 3600000;
const QString kLineLost = QStringLiteral("Serial line lost: adapter removed");

} // namespace

// The main window's Modbus paths, against a master that would answer anything: no path sends a
// request to slave 0, a lost line is shown once and stops the polling, and Disconnect forgets
// configuration writes still waiting for the master.
class TestModbusLineState : public QObject {
    Q_OBJECT

    struct Fixture {
        FakeModbusMaster master;
        test::FakeByteLink link;
        test::FakePrompter prompter;
        QList<serial::PortChoice> ports { { "/dev/ttyFAKE0", "/dev/ttyFAKE0", false } };
        app::MainController controller { { master, link, prompter, [this] { return ports; },
            [] { return QStringLiteral("/dev/simulated"); } } };

        Fixture() { master.refusesBroadcast = false; }

        ui::MainWindow& window() { return controller.window(); }
        Ui::ProtocolChoose& f() { return controller.window().form(); }
        quint16 slaveId() { return controller.state().CurrentSlaveId; }
        void trigger(const char* entry) { window().entry(entry)->trigger(); }
        void connect()
        {
            // The port window of an earlier Connect closes itself with a deferred delete.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            trigger("mnuConnect");
            QTest::mouseClick(controller.connection().portWindow()->form().btnOKPortSetUp, Qt::LeftButton);
        }
        void enterOrvixRegisters()
        {
            trigger("mnuOrvix25");
            trigger("mnuOrvixRegisters");
            window().TimerModbusDataUpdate->setInterval(kNeverMs);
            window().TimerModbusDataUpdate->start();
        }
        void chooseSensors(int count)
        {
            f().NoOfUnitCombo->setCurrentIndex(count - 1);
            emit f().NoOfUnitCombo->activated(count - 1);
        }
        // One tick of a timer of the window, waited out.
        void tick(QTimer* timer)
        {
            QMetaObject::invokeMethod(timer, "timeout");
            QTRY_VERIFY(!master.busy());
        }
        void click(const char* button)
        {
            QTest::mouseClick(window().findChild<QPushButton*>(button), Qt::LeftButton);
        }
        bool anyRequestTo(int slave) const
        {
            return std::any_of(master.requests.cbegin(), master.requests.cend(),
                [slave](const FakeModbusMaster::Request& r) { return r.slave == slave; });
        }
        int writes() const
        {
            return int(std::count_if(
                master.requests.cbegin(), master.requests.cend(), [](const FakeModbusMaster::Request& r) {
                    return r.kind != FakeModbusMaster::Request::Read;
                }));
        }
    };

private slots:
    void slaveZeroNeverReachesTheMaster_data();
    void slaveZeroNeverReachesTheMaster();
    void registerToolsLeaveThroughTheOneSensorBranch_data();
    void registerToolsLeaveThroughTheOneSensorBranch();
    void lineLossIsShownOnceAndStopsPolling_data();
    void lineLossIsShownOnceAndStopsPolling();
    void disconnectForgetsQueuedWrites();
};

void TestModbusLineState::slaveZeroNeverReachesTheMaster_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("cleared box, one sensor chosen") << "one sensor";
    QTest::newRow("0 from the Velto mode, then Orvix Registers") << "velto";
    QTest::newRow("cleared second box, two-sensor switch") << "alternation";
    QTest::newRow("cleared box, Connect") << "connect";
    QTest::newRow("cleared box, selected preset") << "preset";
    QTest::newRow("0 in a device box") << "devices";
}

void TestModbusLineState::slaveZeroNeverReachesTheMaster()
{
    QFETCH(QString, path);
    Fixture fx;
    Ui::ProtocolChoose& f = fx.f();
    const QString modbusMessage
        = QStringLiteral("Wrong value. Enter your valid ID address between 1 to 255 sec (default value 1)");
    fx.connect();
    fx.enterOrvixRegisters();

    if (path == "one sensor") {
        f.TxtOrvixId->clear();
        fx.chooseSensors(1);
    } else if (path == "velto") {
        fx.trigger("mnuVeltoProtocol");
        f.TxtOrvixId->setText("0");
        QCOMPARE(fx.slaveId(), quint16(0)); // a Velto unit may have address 0
        fx.enterOrvixRegisters();
    } else if (path == "alternation") {
        fx.chooseSensors(2);
        f.TxtOrvix2Id->clear();
        fx.window().TimerForJump2DevicesModbus->stop();
        for (int i = 0; i < 2; ++i) {
            QMetaObject::invokeMethod(fx.window().TimerForJump2DevicesModbus, "timeout");
            fx.tick(fx.window().TimerModbusDataUpdate);
        }
        QCOMPARE(f.TxtOrvix2Id->text(), QString("2"));
        QCOMPARE(fx.slaveId(), quint16(2));
    } else if (path == "connect") {
        fx.trigger("mnuDisConnect");
        f.TxtOrvixId->clear();
        fx.connect();
        fx.enterOrvixRegisters();
    } else if (path == "preset") {
        fx.click("GetSetMdbusCommand");
        // The measurement unit alone, as its list shows it.
        fx.window().findChild<QLineEdit*>("SetMBStartAddText")->setText("59");
        fx.window().findChild<QLineEdit*>("SetMBLengthText")->setText("1");
        f.TxtOrvixId->clear();
        fx.click("SelectedPresetMultipleRegistersCommand");
        QTRY_VERIFY(fx.writes() == 1 && !fx.master.busy());
    } else if (path == "devices") {
        fx.trigger("mnu2Devices");
        auto* devices = fx.window().findChild<ui::MultipleDevicesWindow*>();
        QVERIFY(devices);
        fx.window().TimerForModbusDevices->stop();
        devices->findChild<QLineEdit*>("ID2Text")->setText("0");
        QTRY_COMPARE(devices->findChild<QLineEdit*>("ID2Text")->text(), QString("1"));
        fx.window().TimerForModbusDevices->stop();
        for (int i = 0; i < 2; ++i)
            fx.tick(fx.window().TimerForModbusDevices);
        QCOMPARE(fx.master.requests.size(), 2);
    }
    if (path != "alternation" && path != "devices") {
        QCOMPARE(f.TxtOrvixId->text(), QString("1"));
        QCOMPARE(fx.slaveId(), quint16(1));
        QCOMPARE(fx.prompter.lastText(), modbusMessage);
    }
    if (path != "devices")
        fx.tick(fx.window().TimerModbusDataUpdate);
    QVERIFY(!fx.master.requests.isEmpty());
    QVERIFY(!fx.anyRequestTo(0));
}

void TestModbusLineState::registerToolsLeaveThroughTheOneSensorBranch_data()
{
    QTest::addColumn<QString>("tool");
    QTest::newRow("Registers Test") << "mnuRegistersTest";
    QTest::newRow("2 Devices") << "mnu2Devices";
}

void TestModbusLineState::registerToolsLeaveThroughTheOneSensorBranch()
{
    QFETCH(QString, tool);
    Fixture fx;
    Ui::ProtocolChoose& f = fx.f();
    fx.connect();
    fx.enterOrvixRegisters();
    f.TxtOrvixId->setText("7");
    fx.chooseSensors(2);
    QCOMPARE(f.Label26->text(), QString("Units"));
    QVERIFY(fx.window().TimerForJump2DevicesModbus->isActive());

    fx.trigger(qPrintable(tool));
    QWidget* window = tool == "mnuRegistersTest"
        ? static_cast<QWidget*>(fx.window().findChild<ui::RegistersTestWindow*>())
        : fx.window().findChild<ui::MultipleDevicesWindow*>();
    QVERIFY(window);
    QTest::mouseClick(window->findChild<QPushButton*>("ExitCommand"), Qt::LeftButton);

    QCOMPARE(f.Label26->text(), QString("Unit"));
    QCOMPARE(f.NoOfUnitCombo->currentText(), QString("1"));
    QVERIFY(f.TxtOrvix2Id->isHidden());
    QVERIFY(f.LabelOrvix2Id->isHidden());
    QVERIFY(!fx.window().TimerForJump2DevicesModbus->isActive());
    QCOMPARE(f.TxtOrvixId->text(), QString("1"));
    QCOMPARE(fx.slaveId(), quint16(1));
}

void TestModbusLineState::lineLossIsShownOnceAndStopsPolling_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("requestOut");
    QTest::newRow("Orvix Registers, between ticks") << "registers" << false;
    QTest::newRow("Orvix Registers, request out") << "registers" << true;
    QTest::newRow("Registers Test") << "mnuRegistersTest" << false;
    QTest::newRow("2 Devices") << "mnu2Devices" << false;
}

void TestModbusLineState::lineLossIsShownOnceAndStopsPolling()
{
    QFETCH(QString, mode);
    QFETCH(bool, requestOut);
    Fixture fx;
    ui::MainWindow& w = fx.window();
    fx.connect();
    fx.enterOrvixRegisters();
    fx.master.registers.insert(1, 2345); // the distance
    fx.tick(w.TimerModbusDataUpdate);
    fx.tick(w.TimerModbusDataUpdate);
    const QString distance = fx.f().IrDistance->text();
    QVERIFY(distance != "N/A");

    QLineEdit* statusBox = fx.f().ModBusErrorMessageLabel_TextBox;
    QTimer* modeTimer = w.TimerModbusDataUpdate;
    if (mode == "mnuRegistersTest") {
        fx.trigger("mnuRegistersTest");
        auto* tool = w.findChild<ui::RegistersTestWindow*>();
        QTest::mouseClick(tool->findChild<QPushButton*>("PeriodicalRequestCommand"), Qt::LeftButton);
        statusBox = tool->findChild<QLineEdit*>("ModbusErrorMessageText");
        modeTimer = w.TimerSingleMultiRegisters;
    } else if (mode == "mnu2Devices") {
        fx.trigger("mnu2Devices");
        statusBox
            = w.findChild<ui::MultipleDevicesWindow*>()->findChild<QLineEdit*>("ModbusErrorMessageText");
        modeTimer = w.TimerForModbusDevices;
    }
    modeTimer->setInterval(kNeverMs);
    QVERIFY(modeTimer->isActive());
    if (requestOut) {
        fx.master.holdReplies = true;
        QMetaObject::invokeMethod(modeTimer, "timeout");
        QVERIFY(fx.master.busy());
    }
    const qsizetype requestsBefore = fx.master.requests.size();
    const int pollsBefore = fx.f().NumberOfPollsOneDeviceText->text().toInt();

    fx.master.dropLine(kLineLost);
    QTRY_VERIFY(!fx.master.busy());
    QCOMPARE(statusBox->text(), kLineLost);
    QVERIFY(!modeTimer->isActive());
    QVERIFY(fx.window().entry("mnuConnect")->isEnabled());
    QVERIFY(!fx.window().entry("mnuDisConnect")->isEnabled());
    QCOMPARE(fx.f().ConnectionStatusText->text(), QString("Disonnect"));
    // What was read stays on screen; nothing is made up.
    QCOMPARE(fx.f().IrDistance->text(), distance);
    QCOMPARE(fx.master.requests.size(), requestsBefore);
    if (requestOut)
        QCOMPARE(fx.f().NumberOfPollsOneDeviceText->text().toInt(), pollsBefore + 1);
    QVERIFY(fx.prompter.messages.isEmpty());

    // Connect and the mode bring the line back.
    fx.master.holdReplies = false;
    if (mode != "registers") {
        QWidget* tool = statusBox->window();
        QTest::mouseClick(tool->findChild<QPushButton*>("ExitCommand"), Qt::LeftButton);
    }
    fx.connect();
    fx.enterOrvixRegisters();
    QVERIFY(fx.master.portOpen());
    fx.tick(w.TimerModbusDataUpdate);
    QCOMPARE(fx.f().ModBusErrorMessageLabel_TextBox->text(), QString("No error"));
}

void TestModbusLineState::disconnectForgetsQueuedWrites()
{
    Fixture fx;
    fx.connect();
    fx.enterOrvixRegisters();
    fx.master.holdReplies = true;
    QMetaObject::invokeMethod(fx.window().TimerModbusDataUpdate, "timeout");
    QVERIFY(fx.master.busy());

    // A write asked for while the poll is out waits for the master.
    fx.click("GetSetMdbusCommand");
    fx.window().findChild<QLineEdit*>("SetTankHeightText")->setText("6000");
    fx.click("SetTankHeightCommand");
    QCOMPARE(fx.writes(), 0);

    fx.trigger("mnuDisConnect");
    fx.master.release();
    QTest::qWait(50);
    QCOMPARE(fx.writes(), 0);
    QCOMPARE(fx.f().NumberOfPollsOneDeviceText->text(), QString("1"));
    QCOMPARE(fx.f().ValidSlaveResponsesOneDeviceText->text(), QString("1"));

    // Connected again, nothing of the old line's work turns up.
    fx.connect();
    fx.enterOrvixRegisters();
    fx.master.holdReplies = false;
    fx.tick(fx.window().TimerModbusDataUpdate);
    QCOMPARE(fx.writes(), 0);
}

QTEST_MAIN(TestModbusLineState)
#include "tst_modbus_line_state.moc"
