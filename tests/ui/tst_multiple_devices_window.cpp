#include "common/colors.h"
#include "modbus/multi_device_poller.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui/main_window.h"
#include "ui/multiple_devices_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace velto;
using test::FakeModbusMaster;

namespace {

constexpr int kFastPollMs = 5;
constexpr int kIdlePollMs = 3600 * 1000;
// Past the one-second settling wait of an edited box; only catches hangs.
constexpr int kSettleGuardMs = 5000;

struct Rig {
    ui::MainWindow main;
    FakeModbusMaster master;
    test::FakePrompter prompter;
    bool connected = true;
    int opens = 0;
    ui::MultipleDevicesWindow window { main, master, prompter,
        [this] {
            ++opens;
            return master.open = true;
        },
        [this] { return connected; } };

    Rig()
    {
        main.show();
        if (auto* units = box<QComboBox>("NoOfUnitCombo", &main))
            units->addItems({ "1", "2" });
    }
    template <typename T = QLineEdit> T* box(const char* name, QWidget* in = nullptr)
    {
        T* w = (in ? in : static_cast<QWidget*>(&window))->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qWarning("no control %s", name);
        return w;
    }
    QString text(const char* name) { return box(name)->text(); }
    QStringList deviceTexts(int device)
    {
        QStringList out;
        for (const QString& name : modbus::MultiDevicePoller::valueBoxNames(device))
            out << window.findChild<QLineEdit*>(name)->text();
        return out;
    }
    // Runs the poll fast until `requests` requests have been answered, then stops it.
    void pollUntil(int requests)
    {
        QObject::connect(&master, &modbus::ModbusMaster::requestFinished, &window, [this, requests] {
            if (master.requests.size() >= requests)
                main.TimerForModbusDevices->stop();
        });
        main.TimerForModbusDevices->setInterval(kFastPollMs);
        QTRY_VERIFY(master.requests.size() >= requests && !master.busy());
    }
};

} // namespace

class TstMultipleDevicesWindow : public QObject {
    Q_OBJECT
private slots:
    void openingWhileConnectedStartsThePoll();
    void openingWhileDisconnectedPollsNothing();
    void devicesArePolledDownwardsIntoTheirBoxes();
    void addressBoxPausesThePollAndRejectsOutOfRange();
    void timeoutBoxesSettleIntoTheMaster();
    void resetCountersAndExitRestoreTheMainWindow();
};

void TstMultipleDevicesWindow::openingWhileConnectedStartsThePoll()
{
    Rig rig;
    rig.main.TimerModbusDataUpdate->start();
    rig.master.tx = 50;
    rig.window.open(3);
    rig.window.show();

    QCOMPARE(rig.window.objectName(), QString("FormMultipleDevicesModbus"));
    for (int device = 1; device <= 5; ++device) {
        auto* frame = rig.window.findChild<QGroupBox*>(QStringLiteral("FrameDeviceNo%1").arg(device));
        QVERIFY(frame);
        QCOMPARE(frame->title(), QStringLiteral("Device No. %1").arg(device));
        QCOMPARE(frame->isVisible(), device <= 3);
        QCOMPARE(rig.box(modbus::kDeviceAddressBoxes[size_t(device - 1)])->text(), QString::number(device));
    }
    QCOMPARE(rig.opens, 1);
    QVERIFY(!rig.main.TimerModbusDataUpdate->isActive());
    QVERIFY(rig.main.TimerForModbusDevices->isActive());
    QCOMPARE(rig.main.TimerForModbusDevices->interval(), 300);
    QCOMPARE(rig.master.tx, 300);
    QCOMPARE(rig.master.rx, 1000);
    QVERIFY(!rig.main.isVisible());
    QCOMPARE(rig.text("XmtTimeoutText"), QString("300"));
    QCOMPARE(rig.text("RcvTimeoutText"), QString("1000"));
    for (const char* counter : { "NumberOfPollsText", "ValidSlaveResponsesText", "NumOfTimeoutText" })
        QCOMPARE(rig.text(counter), QString("0"));
    QLineEdit* error = rig.box("ModbusErrorMessageText");
    QVERIFY(error->font().bold());
    QCOMPARE(error->palette().color(QPalette::Text), kRed);
}

void TstMultipleDevicesWindow::openingWhileDisconnectedPollsNothing()
{
    Rig rig;
    rig.connected = false;
    rig.window.open(5);
    QCOMPARE(rig.opens, 0);
    QVERIFY(!rig.main.TimerForModbusDevices->isActive());
    // An edit settles and is checked, but the poll is not started behind the operator's back.
    rig.box("ID4Text")->setText("0");
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages.size(), 1, kSettleGuardMs);
    QCOMPARE(rig.text("ID4Text"), QString("1"));
    QVERIFY(!rig.main.TimerForModbusDevices->isActive());
    QVERIFY(rig.master.requests.isEmpty());
}

void TstMultipleDevicesWindow::devicesArePolledDownwardsIntoTheirBoxes()
{
    Rig rig;
    rig.window.open(3);
    rig.master.scripted << FakeModbusMaster::ok({ 1, 2, 3, 4, 5, 6, 7, 0xFFFF })
                        << FakeModbusMaster::timeout()
                        << FakeModbusMaster::ok({ 10, 20, 30, 40, 50, 60, 70, 80 });
    // Device 2 showed something before; a failed read must replace it with zeros.
    for (const QString& name : modbus::MultiDevicePoller::valueBoxNames(2))
        rig.window.findChild<QLineEdit*>(name)->setText("9");
    rig.main.TimerForModbusDevices->start();
    rig.pollUntil(3);

    QCOMPARE(rig.master.requests.size(), 3);
    QList<int> slaves;
    for (const auto& r : rig.master.requests) {
        slaves << r.slave;
        QCOMPARE(r.start, 0);
        QCOMPARE(r.count, 8);
    }
    QCOMPARE(slaves, (QList<int> { 3, 2, 1 }));
    QCOMPARE(rig.deviceTexts(3), (QStringList { "1", "2", "3", "4", "5", "6", "7", "-1" }));
    QCOMPARE(rig.deviceTexts(2), QStringList(8, "0"));
    QCOMPARE(rig.deviceTexts(1), (QStringList { "10", "20", "30", "40", "50", "60", "70", "80" }));
    QCOMPARE(rig.text("Text33"), QString("1"));
    QCOMPARE(rig.text("Text12"), QString("0"));
    QCOMPARE(rig.text("Text8"), QString("80"));
    QCOMPARE(rig.text("NumberOfPollsText"), QString("3"));
    QCOMPARE(rig.text("ValidSlaveResponsesText"), QString("2"));
    QCOMPARE(rig.text("NumOfTimeoutText"), QString("1"));
    // Device 1 answered last, but device 2 still times out: that is what the box keeps showing.
    QCOMPARE(rig.master.lastErrorText(), QString("No error"));
    QCOMPARE(rig.text("ModbusErrorMessageText"), QString("Response timeout."));
}

void TstMultipleDevicesWindow::addressBoxPausesThePollAndRejectsOutOfRange()
{
    Rig rig;
    rig.window.open(2);
    // Only the ticks of pollUntil() below make requests.
    rig.main.TimerForModbusDevices->setInterval(kIdlePollMs);
    QLineEdit* id2 = rig.box("ID2Text");
    id2->clear();
    QTest::keyClicks(id2, "256");
    QVERIFY(!rig.main.TimerForModbusDevices->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(rig.main.TimerForModbusDevices->isActive(), kSettleGuardMs);
    QCOMPARE(rig.prompter.texts(),
        QStringList { "Wrong value. Enter a valid ID2 value, between 1 to 255 (default value 1)" });
    QCOMPARE(id2->text(), QString("1"));

    rig.box("ID1Text")->setText("77");
    QTRY_VERIFY_WITH_TIMEOUT(rig.main.TimerForModbusDevices->isActive(), kSettleGuardMs);
    rig.pollUntil(2);
    QList<int> slaves;
    for (const auto& r : rig.master.requests)
        slaves << r.slave;
    QCOMPARE(slaves, (QList<int> { 1, 77 }));
    QCOMPARE(rig.prompter.messages.size(), 1);
}

void TstMultipleDevicesWindow::timeoutBoxesSettleIntoTheMaster()
{
    Rig rig;
    rig.window.open(1);
    rig.box("XmtTimeoutText")->setText("750");
    rig.box("RcvTimeoutText")->setText("30001");
    // Nothing reaches the master while the operator may still be typing.
    QCOMPARE(rig.master.tx, 300);
    QTRY_COMPARE_WITH_TIMEOUT(rig.master.tx, 750, kSettleGuardMs);
    QCOMPARE(rig.main.TimerForModbusDevices->interval(), 750);
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages.size(), 1, kSettleGuardMs);
    QCOMPARE(rig.prompter.lastText(),
        QString(
            "Wrong value. Enter a valid Receive Timeout value, between 1 msec to 30000 msec (default value "
            "1000 msec)"));
    QCOMPARE(rig.text("RcvTimeoutText"), QString("1000"));
    QCOMPARE(rig.master.rx, 1000);
}

void TstMultipleDevicesWindow::resetCountersAndExitRestoreTheMainWindow()
{
    Rig rig;
    rig.main.entry("mnuDevice")->setEnabled(false);
    rig.main.entry("mnuOption")->setEnabled(false);
    rig.box("Xmt_Timeout_Text", &rig.main)->setText("700");
    rig.box("Rcv_Timeout_Text", &rig.main)->setText("2500");
    rig.box("TxtOrvixId", &rig.main)->setText("9");
    rig.box<QComboBox>("NoOfUnitCombo", &rig.main)->setCurrentIndex(1);
    rig.box("TxtOrvix2Id", &rig.main)->show();
    rig.box<QLabel>("LabelOrvix2Id", &rig.main)->show();
    rig.box<QLabel>("Label26", &rig.main)->setText("Units");
    rig.box("TxtOrvixId", &rig.main)->hide();
    rig.main.TimerForJump2DevicesModbus->start();

    rig.window.open(2);
    rig.window.show();
    rig.master.scripted << FakeModbusMaster::timeout();
    rig.pollUntil(2);
    QCOMPARE(rig.text("NumberOfPollsText"), QString("2"));
    QTest::mouseClick(rig.box<QPushButton>("ResetCountersCommand"), Qt::LeftButton);
    for (const char* counter : { "NumberOfPollsText", "ValidSlaveResponsesText", "NumOfTimeoutText" })
        QCOMPARE(rig.text(counter), QString("0"));
    QCOMPARE(rig.window.poller().NumOfPolls(), 0);

    QSignalSpy slaveId(&rig.window, &ui::MultipleDevicesWindow::currentSlaveIdChanged);
    QSignalSpy exited(&rig.window, &ui::MultipleDevicesWindow::exited);
    rig.main.TimerForModbusDevices->start();
    QTest::mouseClick(rig.box<QPushButton>("ExitCommand"), Qt::LeftButton);
    QVERIFY(!rig.main.TimerForModbusDevices->isActive());
    QVERIFY(!rig.main.TimerForJump2DevicesModbus->isActive());
    QCOMPARE(rig.master.tx, 700);
    QCOMPARE(rig.master.rx, 2500);
    QCOMPARE(rig.box("TxtOrvixId", &rig.main)->text(), QString("1"));
    QVERIFY(rig.box("TxtOrvix2Id", &rig.main)->isHidden());
    QCOMPARE(rig.box<QComboBox>("NoOfUnitCombo", &rig.main)->currentIndex(), 0);
    // The whole one-sensor branch of the sensor-count list, as choosing "1" there runs it.
    QCOMPARE(rig.box<QLabel>("Label26", &rig.main)->text(), QString("Unit"));
    QVERIFY(rig.box<QLabel>("LabelOrvix2Id", &rig.main)->isHidden());
    QVERIFY(!rig.box("TxtOrvixId", &rig.main)->isHidden());
    QVERIFY(rig.main.entry("mnuDevice")->isEnabled());
    QVERIFY(rig.main.entry("mnuOption")->isEnabled());
    QVERIFY(rig.main.isVisible());
    QVERIFY(!rig.window.isVisible());
    QCOMPARE(exited.size(), 1);
    QCOMPARE(slaveId.last().first().toInt(), 1);

    // Opened again, the window starts from its start values.
    rig.box("ID1Text")->setText("12");
    rig.window.open(1);
    QCOMPARE(rig.text("ID1Text"), QString("1"));
    QVERIFY(rig.main.TimerForModbusDevices->isActive());
    // Closing by the frame leaves like Exit.
    rig.window.show();
    rig.window.close();
    QVERIFY(!rig.main.TimerForModbusDevices->isActive());
    QVERIFY(rig.main.isVisible());
    QCOMPARE(exited.size(), 2);
}

QTEST_MAIN(TstMultipleDevicesWindow)
#include "tst_multiple_devices_window.moc"
