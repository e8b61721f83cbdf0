#include "config/config_controller.h"
#include "modbus/single_sensor_poller.h"
#include "sim/simulated_line.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "support/pty_pair.h"
#include "support/serial_rtu_master.h"
#include "ui/main_window.h"
#include "ui/modbus_config_panel.h"
#include "ui_main_window.h"

#include "support/rtu_server.h"
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>

#include <QModbusRtuSerialServer>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace velto;
using config::ConfigController;
using modbus::ModbusResult;

namespace {

constexpr int kServerAddress = 1;
constexpr int kMapSize = 60; // R0..R59: the block is inside, R63 is not
// The server answers at once; the wait is long so a starved machine cannot turn an answer into a
// time-out.
constexpr int kPatientRxMs = 5000;
constexpr int kGuardMs = 20000;
const QString kSettings = QStringLiteral("9600,n,8,1");

int probeRequestSize(const QModbusRequest& request)
{
    constexpr int kHeaderBytes = 5; // start, count, byte count
    if (request.dataSize() < kHeaderBytes)
        return -1;
    return kHeaderBytes + quint8(request.data().at(kHeaderBytes - 1));
}

// The window, its configuration panel and what the panel counts, over any master.
struct Rig {
    explicit Rig(modbus::ModbusMaster& master)
        : panel(
            main, master, prompter, [this] { return slave; }, [this](const ModbusResult& r) { counted << r; })
    {
    }

    template <typename T> T* find(const char* name)
    {
        T* w = main.findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qWarning("no control %s", name);
        return w;
    }
    void type(const char* box, const QString& text) { find<QLineEdit>(box)->setText(text); }
    void typeList(const char* list, const QString& text) { find<QComboBox>(list)->setEditText(text); }
    void click(const char* button) { find<QPushButton>(button)->click(); }
    // Clicks and waits for the request's common handling to finish.
    std::optional<ModbusResult> clickAndWait(const char* button)
    {
        QSignalSpy done(&panel.controller(), &ConfigController::commandFinished);
        click(button);
        if (done.isEmpty() && !done.wait(kGuardMs))
            return std::nullopt;
        return done.takeFirst().at(0).value<ModbusResult>();
    }
    QString errorBox() { return main.form().ModBusErrorMessageLabel_TextBox->text(); }

    ui::MainWindow main;
    test::FakePrompter prompter;
    quint16 slave = kServerAddress;
    QList<ModbusResult> counted;
    ui::ModbusConfigPanel panel;
};

} // namespace

class TstModbusConfigPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<ModbusResult>();
        QModbusRequest::registerDataSizeCalculator(
            QModbusPdu::FunctionCode(modbus::RtuMaster::kProbeFunctionCode), &probeRequestSize);
    }

    void controlsAndCaptions()
    {
        test::FakeModbusMaster master;
        Rig rig(master);
        const QList<QPair<const char*, QString>> buttons {
            { "GetSetMdbusCommand", "Set Modbus Parameters" },
            { "SetTankHeightCommand", "Set Tank Height (R52)" },
            { "Set4mACommand", "Set 4mA (R53+R54)" },
            { "Set20mACommand", "Set 20mA (R55+R56)" },
            { "SetIndicationModeComman", "Set Indication Mode (R57)" },
            { "SetSbdCommand", "Set Sbd (R58)" },
            { "SetMeasurementUnitCommand", "Set Measurement Unit (R59)" },
            { "PresetMultipleRegsCommand", "Preset Multiple Registers" },
            { "SelectedPresetMultipleRegistersCommand", "Selected Preset Multiple Registers " },
            { "CheckIllegalFunctionCommand", "Check Illegal Function" },
            { "CheckIllegalDataAddressCommand", "Check Illegal Data Address" },
            { "SetTankHeight1000TimesCommand", "Start Set Periodical Tank Height (10m-11m)" },
        };
        for (const auto& [name, caption] : buttons) {
            QPushButton* b = rig.find<QPushButton>(name);
            QVERIFY2(b, name);
            QCOMPARE(b->text(), caption);
        }
        for (const char* box : { "SetTankHeightText", "SetSbdText", "Set4mAText", "Set20mAText" })
            QVERIFY2(rig.find<QLineEdit>(box), box);
        QCOMPARE(rig.find<QLineEdit>("SetMBStartAddText")->text(), QString("52"));
        QCOMPARE(rig.find<QLineEdit>("SetMBLengthText")->text(), QString("8"));
        QCOMPARE(rig.find<QLineEdit>("SetPeriodicalTankHeightText")->text(), QString("5000"));
        QCOMPARE(rig.main.SetTankHeight1000TimesTimer->interval(), 5000);
        // The inputs sit in their frame, the toggle and the block commands in the other.
        QVERIFY(rig.main.form().SetModbusParametersFrame->isAncestorOf(rig.find<QWidget>("SetSbdText")));
        QVERIFY(rig.main.form().SetGetModbusParametersFrame->isAncestorOf(
            rig.find<QWidget>("GetSetMdbusCommand")));
        QVERIFY(!rig.main.form().SetModbusParametersFrame->isEnabled());
        QCOMPARE(rig.find<QComboBox>("SetMeasurementUnitCombo")->count(), 0);
    }

    void toggleEntersAndLeavesTheConfigurationState()
    {
        test::FakeModbusMaster master;
        Rig rig(master);
        bool resumable = true;
        rig.panel.setPollingResumable([&] { return resumable; });
        QSignalSpy modeChanged(&rig.panel, &ui::ModbusConfigPanel::configModeChanged);
        rig.main.form().IndicationModeText->setText("N/A");
        rig.main.TimerModbusDataUpdate->start();

        rig.click("GetSetMdbusCommand");
        QCOMPARE(rig.prompter.texts(), QStringList { "Error Modbus Communication" });
        QVERIFY(rig.panel.ModbusConfigMode());
        QVERIFY(!rig.main.TimerModbusDataUpdate->isActive());
        QCOMPARE(rig.find<QPushButton>("GetSetMdbusCommand")->text(), QString("Get Modbus Parameters"));
        QVERIFY(rig.main.form().SetModbusParametersFrame->isEnabled());
        QComboBox* units = rig.find<QComboBox>("SetMeasurementUnitCombo");
        QComboBox* modes = rig.find<QComboBox>("SetIndicationModeCombo");
        QStringList unitItems;
        for (int i = 0; i < units->count(); ++i)
            unitItems << units->itemText(i);
        QCOMPARE(unitItems, QStringList({ "METER", "INCH", "FEET", QString::fromUtf8("M³/HR"), "G.P.M" }));
        QCOMPARE(modes->count(), 5);

        rig.type("SetTankHeightText", "1");
        rig.type("SetSbdText", "2");
        rig.type("Set4mAText", "3");
        rig.type("Set20mAText", "4");
        rig.main.form().IndicationModeText->setText("Level");
        rig.click("GetSetMdbusCommand");
        QCOMPARE(rig.prompter.messages.size(), 1); // a mode is shown now: no message
        QVERIFY(!rig.panel.ModbusConfigMode());
        QVERIFY(rig.main.TimerModbusDataUpdate->isActive());
        QCOMPARE(rig.find<QPushButton>("GetSetMdbusCommand")->text(), QString("Set Modbus Parameters"));
        QVERIFY(!rig.main.form().SetModbusParametersFrame->isEnabled());
        for (const char* box : { "SetTankHeightText", "SetSbdText", "Set4mAText", "Set20mAText" })
            QVERIFY2(rig.find<QLineEdit>(box)->text().isEmpty(), box);
        QCOMPARE(units->count(), 0);
        QVERIFY(units->currentText().isEmpty());
        QCOMPARE(modes->count(), 0);

        // Outside a polling mode leaving does not start the poll timer; an empty mode box warns.
        rig.main.form().IndicationModeText->clear();
        rig.click("GetSetMdbusCommand");
        rig.main.TimerModbusDataUpdate->stop();
        resumable = false;
        rig.click("GetSetMdbusCommand");
        QVERIFY(!rig.main.TimerModbusDataUpdate->isActive());
        QCOMPARE(rig.prompter.texts().count("Error Modbus Communication"), 3);
        QCOMPARE(modeChanged.size(), 4);
        QCOMPARE(units->count(), 0); // entering twice never doubles the entries
        rig.click("GetSetMdbusCommand");
        QCOMPARE(units->count(), 5);
    }

    void refusedListTextIsEmptied()
    {
        test::FakeModbusMaster master;
        Rig rig(master);
        rig.click("GetSetMdbusCommand");
        rig.typeList("SetMeasurementUnitCombo", "2");
        rig.click("SetMeasurementUnitCommand");
        QCOMPARE(rig.prompter.lastText(), QString("Incorrect Measurement Unit Value"));
        QVERIFY(rig.find<QComboBox>("SetMeasurementUnitCombo")->currentText().isEmpty());
        rig.typeList("SetMeasurementUnitCombo", "7");
        QVERIFY(rig.clickAndWait("SetMeasurementUnitCommand"));
        QCOMPARE(master.requests.size(), 1);
        QCOMPARE(master.requests[0].values, QList<quint16> { 7 });
        QCOMPARE(rig.counted.size(), 1);
    }

    void intervalBoxAndPeriodicButton()
    {
        test::FakeModbusMaster master;
        Rig rig(master);
        for (const char* bad : { "0", "100001" }) {
            rig.prompter.messages.clear();
            rig.type("SetPeriodicalTankHeightText", "250");
            QCOMPARE(rig.main.SetTankHeight1000TimesTimer->interval(), 250);
            rig.type("SetPeriodicalTankHeightText", bad);
            QCOMPARE(rig.prompter.texts(), QStringList { config::kIntervalMessage });
            QCOMPARE(rig.find<QLineEdit>("SetPeriodicalTankHeightText")->text(), QString("5000"));
            QCOMPARE(rig.main.SetTankHeight1000TimesTimer->interval(), 5000);
        }
        rig.type("SetMBStartAddText", "0");
        QCOMPARE(rig.find<QLineEdit>("SetMBStartAddText")->text(), QString("52"));
        rig.type("SetMBLengthText", "9");
        QCOMPARE(rig.find<QLineEdit>("SetMBLengthText")->text(), QString("8"));

        // The writer runs outside the configuration state, beside polling.
        rig.type("SetPeriodicalTankHeightText", "1");
        rig.click("SetTankHeight1000TimesCommand");
        QCOMPARE(rig.find<QPushButton>("SetTankHeight1000TimesCommand")->text(),
            QString("Stop Set Periodical Tank Height (10m-11m)"));
        QTRY_VERIFY(master.requests.size() >= 3);
        rig.click("SetTankHeight1000TimesCommand");
        QVERIFY(!rig.main.SetTankHeight1000TimesTimer->isActive());
        QCOMPARE(rig.find<QPushButton>("SetTankHeight1000TimesCommand")->text(),
            QString("Start Set Periodical Tank Height (10m-11m)"));
        QCOMPARE(master.requests[0].values, QList<quint16> { 10000 });
        QCOMPARE(master.requests[1].values, QList<quint16> { 11000 });
        QCOMPARE(master.requests[2].values, QList<quint16> { 10000 });
    }

    void selectedPresetTakesTheAddressBox()
    {
        test::FakeModbusMaster master;
        Rig rig(master);
        std::optional<quint16> sunk;
        rig.panel.setCurrentSlaveIdSink([&](quint16 id) { sunk = id; });
        rig.click("GetSetMdbusCommand");
        rig.main.form().TxtOrvixId->setText("4");
        rig.typeList("SetMeasurementUnitCombo", "INCH");
        rig.type("SetMBStartAddText", "59");
        rig.type("SetMBLengthText", "1");
        QVERIFY(rig.clickAndWait("SelectedPresetMultipleRegistersCommand"));
        QCOMPARE(sunk, std::optional<quint16>(4));
        QCOMPARE(master.requests.size(), 1);
        QCOMPARE(master.requests[0].slave, 4);
        QCOMPARE(master.requests[0].start, 58);
        QCOMPARE(master.requests[0].values, QList<quint16> { 1 });
    }

    // Over a pseudo-terminal to Qt's RTU server, with the real master.
    void setButtonsWriteTheServer()
    {
        test::PtyBridge bridge;
        QVERIFY(bridge.isValid());
        const auto serverOwner = test::startRtuServer(bridge.pathB(), kServerAddress, kMapSize);
        QVERIFY(serverOwner);
        QModbusRtuSerialServer& server = *serverOwner;
        test::SerialRtuMaster master;
        master.setRxTimeout(kPatientRxMs);
        QVERIFY2(master.openPort(bridge.pathA(), kSettings), qPrintable(master.lastErrorText()));

        Rig rig(master);
        auto reg = [&](int r) {
            quint16 v = 0;
            server.data(QModbusDataUnit::HoldingRegisters, quint16(r), &v);
            return v;
        };
        auto clear = [&] {
            for (int r = 50; r < kMapSize; ++r)
                server.setData(QModbusDataUnit::HoldingRegisters, quint16(r), 0xAAAA);
        };
        auto untouchedExcept = [&](QList<int> written) {
            for (int r = 50; r < kMapSize; ++r) {
                if (!written.contains(r) && reg(r) != 0xAAAA)
                    return false;
            }
            return true;
        };
        rig.main.form().IndicationModeText->setText("Level");
        rig.main.TimerModbusDataUpdate->start();
        rig.click("GetSetMdbusCommand");
        QVERIFY(!rig.main.TimerModbusDataUpdate->isActive());

        struct Case {
            const char* input;
            QString text;
            const char* button;
            QList<int> registers;
            QList<quint16> words;
        };
        const QList<Case> cases {
            { "SetTankHeightText", "12345", "SetTankHeightCommand", { 51 }, { 12345 } },
            { "Set4mAText", "70000", "Set4mACommand", { 52, 53 }, { 0x1170, 0x0001 } },
            { "Set20mAText", "-1", "Set20mACommand", { 54, 55 }, { 0xFFFF, 0xFFFF } },
            { "SetIndicationModeCombo", "Totalization", "SetIndicationModeComman", { 56 }, { 5 } },
            { "SetSbdText", "-300", "SetSbdCommand", { 57 }, { quint16(-300) } },
            { "SetMeasurementUnitCombo", QString::fromUtf8("M³/HR"), "SetMeasurementUnitCommand", { 58 },
                { 3 } },
        };
        for (const Case& c : cases) {
            clear();
            if (QString::fromLatin1(c.input).endsWith("Combo"))
                rig.typeList(c.input, c.text);
            else
                rig.type(c.input, c.text);
            const std::optional<ModbusResult> result = rig.clickAndWait(c.button);
            QVERIFY2(result && result->ok(), c.button);
            for (int i = 0; i < c.registers.size(); ++i)
                QCOMPARE(reg(c.registers[i]), c.words[i]);
            QVERIFY2(untouchedExcept(c.registers), c.button);
            QCOMPARE(rig.errorBox(), master.lastErrorText());
        }

        clear();
        QVERIFY(rig.clickAndWait("PresetMultipleRegsCommand"));
        const QList<quint16> block { 12345, 0x1170, 0x0001, 0xFFFF, 0xFFFF, 5, quint16(-300), 3 };
        for (int i = 0; i < block.size(); ++i)
            QCOMPARE(reg(51 + i), block[i]);

        clear();
        rig.type("SetMBStartAddText", "59");
        rig.type("SetMBLengthText", "1");
        QVERIFY(rig.clickAndWait("SelectedPresetMultipleRegistersCommand"));
        QCOMPARE(reg(58), quint16(3));
        QVERIFY(untouchedExcept({ 58 }));

        const std::optional<ModbusResult> function = rig.clickAndWait("CheckIllegalFunctionCommand");
        QVERIFY(function);
        QCOMPARE(function->status, modbus::StatusExceptionBase + 1);
        QVERIFY2(rig.errorBox().contains("Illegal Function"), qPrintable(rig.errorBox()));
        const std::optional<ModbusResult> address = rig.clickAndWait("CheckIllegalDataAddressCommand");
        QVERIFY(address);
        QCOMPARE(address->status, modbus::StatusExceptionBase + 2);
        QVERIFY2(rig.errorBox().contains("Illegal Data Address"), qPrintable(rig.errorBox()));

        QList<int> statuses;
        for (const ModbusResult& r : rig.counted)
            statuses << r.status;
        QCOMPARE(statuses, QList<int>({ 0, 0, 0, 0, 0, 0, 0, 0, 101, 102 }));

        // Leaving the configuration state with the port open resumes polling.
        rig.click("GetSetMdbusCommand");
        QVERIFY(rig.main.TimerModbusDataUpdate->isActive());
        rig.main.TimerModbusDataUpdate->stop();
        master.closePort();
    }

    // Against the simulated sensors: what is written shows in the next poll, and a sensor in its menu
    // refuses.
    void simulatedSensorsTakeTheWrites()
    {
        sim::SimulatedLine line;
        QVERIFY2(line.isValid(), qPrintable(line.errorText()));
        test::SerialRtuMaster master;
        QVERIFY2(master.openPort(line.devicePath(), kSettings), qPrintable(master.lastErrorText()));
        modbus::SingleSensorPoller poller(master);
        poller.setCurrentSlaveId(kServerAddress);

        // The panel counts into the poller, as the program wires it.
        ui::MainWindow main;
        test::FakePrompter prompter;
        ui::ModbusConfigPanel panel(
            main, master, prompter, [] { return quint16(kServerAddress); },
            [&](const ModbusResult& r) { poller.countResult(r); });
        QSignalSpy counters(&poller, &modbus::SingleSensorPoller::countersChanged);
        QSignalSpy done(&panel.controller(), &ConfigController::commandFinished);
        auto click = [&](const char* name) { main.findChild<QPushButton*>(name)->click(); };

        click("GetSetMdbusCommand");
        main.findChild<QComboBox*>("SetMeasurementUnitCombo")->setEditText("METER");
        click("SetMeasurementUnitCommand");
        QVERIFY(done.wait(kGuardMs));
        main.findChild<QLineEdit*>("SetTankHeightText")->setText("7250");
        click("SetTankHeightCommand");
        QVERIFY(done.size() == 2 || done.wait(kGuardMs));
        QCOMPARE(done.at(1).at(0).value<ModbusResult>().status, 0);

        QSignalSpy boxes(&poller, &modbus::SingleSensorPoller::boxesUpdated);
        poller.setModbusReadStep(modbus::SingleSensorPoller::kFirstStep);
        poller.tick();
        QVERIFY(boxes.wait(kGuardMs));
        QString tankHeight;
        for (const BoxUpdate& u : boxes.at(0).at(1).value<QList<BoxUpdate>>()) {
            if (u.objectName == QLatin1String("IrTankHeight"))
                tankHeight = u.text.value_or(QString());
        }
        QCOMPARE(tankHeight.toDouble(), 7.25);
        QCOMPARE(poller.NumOfPollsOneDevice(), 3);
        QCOMPARE(poller.NumOfResponseOneDevice(), 3);

        // Typing the menu toggle's code (0xDEAD as a signed word) into the unit list opens the menu.
        main.findChild<QComboBox*>("SetMeasurementUnitCombo")->setEditText("-8531");
        click("SetMeasurementUnitCommand");
        QVERIFY(done.wait(kGuardMs));
        QVERIFY(line.simulator().sensor(kServerAddress)->inMenu());
        click("SetTankHeightCommand");
        QVERIFY(done.wait(kGuardMs));
        QCOMPARE(done.last().at(0).value<ModbusResult>().status, modbus::StatusDeviceBusy);
        QCOMPARE(main.form().ModBusErrorMessageLabel_TextBox->text(), QString("Device in Configuration"));
        QCOMPARE(poller.NumOfPollsOneDevice(), 5);
        QCOMPARE(poller.NumOfResponseOneDevice(), 4);
        QCOMPARE(line.simulator().sensor(kServerAddress)->tankHeightMm(), 7250);
        master.closePort();
    }
};

QTEST_MAIN(TstModbusConfigPanel)
#include "tst_modbus_config_panel.moc"
