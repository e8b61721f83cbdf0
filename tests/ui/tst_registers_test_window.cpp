#include "common/colors.h"
#include "regtest/register_block_poller.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui/main_window.h"
#include "ui/registers_test_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace velto;
using test::FakeModbusMaster;

namespace {

// Past the one-second settling wait and the two-second burst; only catches hangs.
constexpr int kGuardMs = 6000;

struct Rig {
    ui::MainWindow main;
    FakeModbusMaster master;
    test::FakePrompter prompter;
    int opens = 0;
    ui::RegistersTestWindow window { main, master, prompter, [this] {
                                        ++opens;
                                        return master.open = true;
                                    } };

    Rig()
    {
        if (auto* units = main.findChild<QComboBox*>("NoOfUnitCombo"))
            units->addItems({ "1", "2" });
        window.show();
    }
    template <typename T = QLineEdit> T* box(const QString& name, QWidget* in = nullptr)
    {
        T* w = (in ? in : static_cast<QWidget*>(&window))->findChild<T*>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }
    QString text(const QString& name) { return box(name)->text(); }
    void click(const char* button) { QTest::mouseClick(box<QPushButton>(button), Qt::LeftButton); }
    QLineEdit* value(int i) { return box(QStringLiteral("RegValText(%1)").arg(i)); }
    QLabel* label(int i) { return box<QLabel>(QStringLiteral("MBAddLabel(%1)").arg(i)); }
    int shownBoxes()
    {
        int shown = 0;
        for (int i = 0; i < 50; ++i) {
            if (value(i)->isVisible() != label(i)->isVisible())
                return -1;
            shown += value(i)->isVisible() ? 1 : 0;
        }
        return shown;
    }
};

} // namespace

class TstRegistersTestWindow : public QObject {
    Q_OBJECT
private slots:
    void startValues();
    void periodicRequestsFillTheBoxesAndCount();
    void blockEditsPauseRelabelAndCorrect();
    void singleRequestIsAnUncountedBurst();
    void exitRestoresTheMainWindow();
};

void TstRegistersTestWindow::startValues()
{
    Rig rig;
    QCOMPARE(rig.window.objectName(), QString("FormSingleMultiRegisters"));
    QCOMPARE(rig.window.windowTitle(), QString("Single - Multi Registers"));
    const QList<QPair<QString, QString>> starts = { { "DeviceAddressText", "1" }, { "StartAddressText", "1" },
        { "LenghtText", "10" }, { "XmtTimeoutText", "300" }, { "RcvTimeoutText", "1000" },
        { "NumberOfPollsText", "0" }, { "ValidSlaveResponsesText", "0" }, { "NumOfTimeoutText", "0" },
        { "ModbusErrorMessageText", "Device Not Connected" } };
    for (const auto& [name, start] : starts)
        QCOMPARE(rig.text(name), start);
    QLineEdit* error = rig.box("ModbusErrorMessageText");
    QVERIFY(error->font().bold());
    QCOMPARE(error->palette().color(QPalette::Text), kRed);
    for (const char* button : { "SingleRequestCommand", "PeriodicalRequestCommand",
             "StopPeriodicalRequestCommand", "ResetCountersCommand", "ExitCommand" })
        QVERIFY(rig.box<QPushButton>(button));
    QCOMPARE(rig.shownBoxes(), 10);
    QCOMPARE(rig.label(0)->text(), QString("40001"));
    QCOMPARE(rig.label(9)->text(), QString("40010"));
    QCOMPARE(rig.master.tx, 300);
    QCOMPARE(rig.master.rx, 1000);
    QCOMPARE(rig.main.TimerSingleMultiRegisters->interval(), 300);
    // Nothing is requested until a request button is pressed.
    QVERIFY(!rig.main.TimerSingleMultiRegisters->isActive());
    QCOMPARE(rig.opens, 0);
}

void TstRegistersTestWindow::periodicRequestsFillTheBoxesAndCount()
{
    Rig rig;
    QList<quint16> words;
    for (quint16 i = 0; i < 10; ++i)
        words << quint16(100 + i);
    words[9] = 0xFFFE;
    rig.master.scripted << FakeModbusMaster::ok(words) << FakeModbusMaster::timeout();
    QObject::connect(&rig.master, &modbus::ModbusMaster::requestFinished, &rig.window, [&rig] {
        if (rig.master.requests.size() >= 2)
            rig.click("StopPeriodicalRequestCommand");
    });
    QSignalSpy values(&rig.window.poller(), &regtest::RegisterBlockPoller::valuesChanged);
    QSignalSpy errors(&rig.window.poller(), &regtest::RegisterBlockPoller::errorTextChanged);
    rig.click("PeriodicalRequestCommand");
    QCOMPARE(rig.opens, 1);
    QVERIFY(rig.main.TimerSingleMultiRegisters->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(values.size(), 2, kGuardMs);
    const QStringList first = values.at(0).at(0).toStringList();
    QCOMPARE(first.size(), 10);
    QCOMPARE(first.at(0), QString("100"));
    QCOMPARE(first.at(9), QString("-2"));
    QVERIFY(errors.contains(QVariantList { QString("No error") }));
    // The second answer timed out: zeros in every box, one more poll, one time-out.
    for (int i = 0; i < 10; ++i)
        QCOMPARE(rig.value(i)->text(), QString("0"));
    QCOMPARE(rig.text("NumberOfPollsText"), QString("2"));
    QCOMPARE(rig.text("ValidSlaveResponsesText"), QString("1"));
    QCOMPARE(rig.text("NumOfTimeoutText"), QString("1"));
    // Then Stop closed the port.
    QVERIFY(!rig.main.TimerSingleMultiRegisters->isActive());
    QVERIFY(!rig.master.portOpen());
    QCOMPARE(rig.text("ModbusErrorMessageText"), QString("Device Not Connected"));
    QCOMPARE(rig.master.requests.first().start, 0);
    QCOMPARE(rig.master.requests.first().count, 10);

    rig.click("ResetCountersCommand");
    for (const char* counter : { "NumberOfPollsText", "ValidSlaveResponsesText", "NumOfTimeoutText" })
        QCOMPARE(rig.text(counter), QString("0"));
}

void TstRegistersTestWindow::blockEditsPauseRelabelAndCorrect()
{
    Rig rig;
    rig.click("PeriodicalRequestCommand");
    QTimer* timer = rig.main.TimerSingleMultiRegisters;

    QLineEdit* length = rig.box("LenghtText");
    length->clear();
    QTest::keyClicks(length, "51");
    QVERIFY(!timer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(timer->isActive(), kGuardMs);
    QCOMPARE(rig.prompter.texts(),
        QStringList { "Wrong value. Enter a valid lenght value, between 1 to 50 (default value 10)" });
    QCOMPARE(length->text(), QString("10"));
    QCOMPARE(rig.shownBoxes(), 10);

    length->setText("5");
    rig.box("StartAddressText")->setText("100");
    rig.box("DeviceAddressText")->setText("17");
    QVERIFY(!timer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(timer->isActive(), kGuardMs);
    QCOMPARE(rig.shownBoxes(), 5);
    QCOMPARE(rig.label(0)->text(), QString("40100"));
    QCOMPARE(rig.label(4)->text(), QString("40104"));
    const int before = rig.master.requests.size();
    QTRY_VERIFY(rig.master.requests.size() > before);
    const auto request = rig.master.requests.last();
    QCOMPARE(request.slave, 17);
    QCOMPARE(request.start, 99);
    QCOMPARE(request.count, 5);

    rig.box("StartAddressText")->setText("10000");
    rig.box("DeviceAddressText")->setText("0");
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages.size(), 3, kGuardMs);
    QVERIFY(rig.prompter.texts().contains(
        "Wrong value. Enter a valid address value, between 1 to 9999 (default value 1)"));
    QCOMPARE(rig.text("StartAddressText"), QString("1"));
    QCOMPARE(rig.text("DeviceAddressText"), QString("1"));
    QCOMPARE(rig.label(0)->text(), QString("40001"));

    // After Stop, an edit only relabels: it does not start requests on the closed port.
    rig.click("StopPeriodicalRequestCommand");
    QTRY_VERIFY(!rig.master.portOpen());
    rig.box("LenghtText")->setText("50");
    QTRY_COMPARE_WITH_TIMEOUT(rig.shownBoxes(), 50, kGuardMs);
    QCOMPARE(rig.label(49)->text(), QString("40050"));
    QVERIFY(!timer->isActive());
}

void TstRegistersTestWindow::singleRequestIsAnUncountedBurst()
{
    Rig rig;
    rig.box("LenghtText")->setText("2");
    QTRY_COMPARE_WITH_TIMEOUT(rig.shownBoxes(), 2, kGuardMs);
    rig.master.scripted << FakeModbusMaster::ok({ 5, 6 }) << FakeModbusMaster::timeout();
    rig.click("SingleRequestCommand");
    QCOMPARE(rig.window.poller().SingleRequest(), 0);
    QVERIFY(rig.main.TimerSingleMultiRegisters->isActive());
    // The burst ends when both scripted answers are in, not after two seconds of a loaded machine.
    rig.window.poller().burstTimer().stop();
    QTRY_COMPARE_WITH_TIMEOUT(rig.text("NumOfTimeoutText"), QString("1"), kGuardMs);
    rig.window.poller().endBurst();
    QTRY_COMPARE_WITH_TIMEOUT(rig.window.poller().SingleRequest(), 1, kGuardMs);
    QTRY_COMPARE(rig.text("ModbusErrorMessageText"), QString("Device Not Connected"));
    QVERIFY(!rig.main.TimerSingleMultiRegisters->isActive());
    QVERIFY(!rig.master.portOpen());
    QVERIFY(rig.master.requests.size() >= 2);
    QCOMPARE(rig.text("NumberOfPollsText"), QString("0"));
    QCOMPARE(rig.text("ValidSlaveResponsesText"), QString("0"));
    QCOMPARE(rig.text("NumOfTimeoutText"), QString("1"));
}

void TstRegistersTestWindow::exitRestoresTheMainWindow()
{
    Rig rig;
    rig.box("Xmt_Timeout_Text", &rig.main)->setText("450");
    rig.box("Rcv_Timeout_Text", &rig.main)->setText("1500");
    rig.box("TxtOrvixId", &rig.main)->setText("8");
    rig.box<QComboBox>("NoOfUnitCombo", &rig.main)->setCurrentIndex(1);
    rig.box("TxtOrvix2Id", &rig.main)->show();
    rig.box<QLabel>("LabelOrvix2Id", &rig.main)->show();
    rig.box<QLabel>("Label26", &rig.main)->setText("Units");
    rig.box("TxtOrvixId", &rig.main)->hide();
    rig.main.TimerForJump2DevicesModbus->start();
    rig.main.hide();
    rig.click("PeriodicalRequestCommand");

    QSignalSpy slaveId(&rig.window, &ui::RegistersTestWindow::currentSlaveIdChanged);
    QSignalSpy exited(&rig.window, &ui::RegistersTestWindow::exited);
    rig.click("ExitCommand");
    QVERIFY(!rig.main.TimerSingleMultiRegisters->isActive());
    QVERIFY(!rig.main.TimerForJump2DevicesModbus->isActive());
    QCOMPARE(rig.box("TxtOrvixId", &rig.main)->text(), QString("1"));
    QVERIFY(rig.box("TxtOrvix2Id", &rig.main)->isHidden());
    QCOMPARE(rig.box<QComboBox>("NoOfUnitCombo", &rig.main)->currentIndex(), 0);
    // The whole one-sensor branch of the sensor-count list, as choosing "1" there runs it.
    QCOMPARE(rig.box<QLabel>("Label26", &rig.main)->text(), QString("Unit"));
    QVERIFY(rig.box<QLabel>("LabelOrvix2Id", &rig.main)->isHidden());
    QVERIFY(!rig.box("TxtOrvixId", &rig.main)->isHidden());
    QCOMPARE(rig.master.tx, 450);
    QCOMPARE(rig.master.rx, 1500);
    QVERIFY(rig.main.isVisible());
    QVERIFY(!rig.window.isVisible());
    QCOMPARE(exited.size(), 1);
    QCOMPARE(slaveId.last().first().toInt(), 1);

    // Reopened, the window starts over, counters included.
    rig.box("LenghtText")->setText("3");
    rig.window.Form_Load();
    rig.window.show();
    QCOMPARE(rig.text("LenghtText"), QString("10"));
    QCOMPARE(rig.shownBoxes(), 10);
    QCOMPARE(rig.text("ModbusErrorMessageText"), QString("Device Not Connected"));
}

QTEST_MAIN(TstRegistersTestWindow)
#include "tst_registers_test_window.moc"
