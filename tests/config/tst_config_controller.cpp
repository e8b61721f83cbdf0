#include "config/config_controller.h"
#include "config/config_conversions.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto::config;
using velto::modbus::ModbusResult;
using velto::test::FakeModbusMaster;
using velto::test::FakePrompter;
using Request = FakeModbusMaster::Request;

class TstConfigController : public QObject {
    Q_OBJECT

    struct Rig {
        FakeModbusMaster master;
        FakePrompter prompter;
        quint16 slave = 7;
        QList<ModbusResult> counted;
        ConfigController controller { master, prompter, [this] { return slave; },
            [this](const ModbusResult& r) { counted << r; } };
        QSignalSpy errorText { &controller, &ConfigController::errorTextChanged };
        QSignalSpy finished { &controller, &ConfigController::commandFinished };

        bool waitFinished(int count)
        {
            while (finished.size() < count) {
                if (!finished.wait(2000))
                    return false;
            }
            return true;
        }
    };

private slots:
    void singleWritesGoWhereTheirCaptionsSay()
    {
        Rig rig;
        QVERIFY(rig.controller.SetTankHeightCommand_Click("4500"));
        QVERIFY(rig.controller.Set4mACommand_Click("70000"));
        QVERIFY(rig.controller.Set20mACommand_Click("-1"));
        QVERIFY(rig.controller.SetIndicationModeComman_Click("Volume"));
        QVERIFY(rig.controller.SetSbdCommand_Click("-2"));
        QVERIFY(rig.controller.SetMeasurementUnitCommand_Click("7"));
        QVERIFY(rig.waitFinished(6));
        const auto& r = rig.master.requests;
        QCOMPARE(r.size(), 6);
        auto check = [&](int i, Request::Kind kind, int start, QList<quint16> values) {
            QCOMPARE(r[i].kind, kind);
            QCOMPARE(r[i].slave, 7);
            QCOMPARE(r[i].start, start);
            QCOMPARE(r[i].values, values);
        };
        check(0, Request::WriteOne, 51, { 4500 });
        check(1, Request::WriteMany, 52, { 0x1170, 0x0001 });
        check(2, Request::WriteMany, 54, { 0xFFFF, 0xFFFF });
        check(3, Request::WriteOne, 56, { 6 });
        check(4, Request::WriteOne, 57, { 0xFFFE });
        check(5, Request::WriteOne, 58, { 7 });
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void refusedInputsSendNothing_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("clears");
        QTest::newRow("tank height 40000") << 0 << "40000" << kIncorrectTankHeight << false;
        QTest::newRow("sbd empty") << 1 << "" << kIncorrectSbd << false;
        QTest::newRow("4mA letters") << 2 << "abc" << kIncorrect4mA << false;
        QTest::newRow("20mA beyond 32 bits") << 3 << "5000000000" << kIncorrect20mA << false;
        QTest::newRow("unit typed 2") << 4 << "2" << kIncorrectMeasurementUnit << true;
        QTest::newRow("unit too wide") << 4 << "99999" << kIncorrectMeasurementUnit << false;
        QTest::newRow("mode typed 3") << 5 << "3" << kIncorrectIndicationMode << true;
    }
    void refusedInputsSendNothing()
    {
        QFETCH(int, command);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(bool, clears);
        Rig rig;
        QSignalSpy unitCleared(&rig.controller, &ConfigController::measurementUnitCleared);
        QSignalSpy modeCleared(&rig.controller, &ConfigController::indicationModeCleared);
        ConfigController& c = rig.controller;
        const bool sent = command == 0 ? c.SetTankHeightCommand_Click(text)
            : command == 1             ? c.SetSbdCommand_Click(text)
            : command == 2             ? c.Set4mACommand_Click(text)
            : command == 3             ? c.Set20mACommand_Click(text)
            : command == 4             ? c.SetMeasurementUnitCommand_Click(text)
                                       : c.SetIndicationModeComman_Click(text);
        QVERIFY(!sent);
        QCOMPARE(rig.prompter.texts(), QStringList { message });
        QCOMPARE(unitCleared.size() + modeCleared.size(), clears ? 1 : 0);
        QTest::qWait(0);
        QVERIFY(rig.master.requests.isEmpty());
        QVERIFY(rig.counted.isEmpty());
    }

    void presetsSendTheirBlocks()
    {
        Rig rig;
        const BlockInputs in { "5000", "70000", "-1", "Level", "300", "FEET" };
        QVERIFY(rig.controller.PresetMultipleRegsCommand_Click(in));
        QVERIFY(rig.controller.SelectedPresetMultipleRegistersCommand_Click(in, "59", "1", 3));
        QVERIFY(!rig.controller.SelectedPresetMultipleRegistersCommand_Click(in, "54", "1", 3));
        QVERIFY(!rig.controller.SelectedPresetMultipleRegistersCommand_Click(in, "53", "3", 3));
        QVERIFY(!rig.controller.SelectedPresetMultipleRegistersCommand_Click(in, "abc", "1", 3));
        QCOMPARE(rig.prompter.texts(),
            QStringList({ kInvalidStartAddress, kInvalidBufferLength, kInvalidStartAddress }));
        QVERIFY(rig.waitFinished(2));
        QCOMPARE(rig.master.requests.size(), 2);
        const Request& all = rig.master.requests[0];
        QCOMPARE(all.kind, Request::WriteMany);
        QCOMPARE(all.start, 51);
        QCOMPARE(all.values, QList<quint16>({ 5000, 0x1170, 0x0001, 0xFFFF, 0xFFFF, 1, 300, 2 }));
        const Request& unit = rig.master.requests[1];
        QCOMPARE(unit.kind, Request::WriteMany);
        QCOMPARE(unit.slave, 3);
        QCOMPARE(unit.start, 58);
        QCOMPARE(unit.values, QList<quint16> { 2 });
    }

    void responseHandlingAndDeviceInConfiguration()
    {
        Rig rig;
        rig.master.scripted << FakeModbusMaster::ok() << FakeModbusMaster::timeout()
                            << FakeModbusMaster::failure(12, "Server Device Busy (exception 6)")
                            << FakeModbusMaster::failure(12, "Server Device Busy (exception 6)")
                            << FakeModbusMaster::failure(12, "Server Device Busy (exception 6)")
                            << FakeModbusMaster::failure(101, "Illegal Function (exception 1)");
        rig.controller.SetTankHeightCommand_Click("1");
        rig.controller.SetTankHeightCommand_Click("1");
        rig.controller.SetTankHeightCommand_Click("1");
        rig.controller.CheckIllegalDataAddressCommand_Click();
        rig.controller.SetTankHeight1000TimesTimer_Timer();
        rig.controller.CheckIllegalFunctionCommand_Click();
        QVERIFY(rig.waitFinished(6));
        QStringList texts;
        for (const auto& args : rig.errorText)
            texts << args.at(0).toString();
        // Only the configuration writes say "Device in Configuration"; the probes and the periodic
        // writer show the master's own text.
        QCOMPARE(texts,
            QStringList(
                { "No error", "Response timeout.", kDeviceInConfiguration, "Server Device Busy (exception 6)",
                    "Server Device Busy (exception 6)", "Illegal Function (exception 1)" }));
        QList<int> statuses;
        for (const auto& r : rig.counted)
            statuses << r.status;
        QCOMPARE(statuses, QList<int>({ 0, 9, 12, 12, 12, 101 }));
        const Request& probe = rig.master.requests[5];
        QCOMPARE(probe.kind, Request::Probe);
        QCOMPARE(probe.start, 51);
        QCOMPARE(probe.values, QList<quint16>({ 1, 1, 1, 0, 0 }));
        const Request& address = rig.master.requests[3];
        QCOMPARE(address.kind, Request::WriteOne);
        QCOMPARE(address.start, 63);
        QCOMPARE(address.values, QList<quint16> { 1 });
    }

    void commandsWaitForABusyMaster()
    {
        Rig rig;
        rig.master.holdReplies = true;
        // Someone else's request (a poll) holds the master.
        QObject poller;
        rig.master.readRegisters(1, 0, 8, &poller, [](const ModbusResult&) {});
        rig.controller.SetTankHeightCommand_Click("10");
        rig.controller.SetSbdCommand_Click("20");
        QCOMPARE(rig.master.requests.size(), 1);
        QCOMPARE(rig.controller.queued(), 2);
        rig.master.release();
        QTRY_COMPARE(rig.master.requests.size(), 2);
        QCOMPARE(rig.master.requests[1].values, QList<quint16> { 10 });
        rig.master.release();
        QTRY_COMPARE(rig.master.requests.size(), 3);
        QCOMPARE(rig.master.requests[2].values, QList<quint16> { 20 });
        rig.master.release();
        QTRY_COMPARE(rig.counted.size(), 2);
        QCOMPARE(rig.controller.queued(), 0);
        QVERIFY(!rig.controller.requestInFlight());
    }

    void periodicWriterAlternatesAndSkipsWhileWaiting()
    {
        Rig rig;
        QVERIFY(rig.controller.PeriodicTankHeightHigh());
        rig.master.holdReplies = true;
        QObject poller;
        rig.master.readRegisters(1, 0, 8, &poller, [](const ModbusResult&) {});
        rig.controller.SetTankHeight1000TimesTimer_Timer();
        rig.controller.SetTankHeight1000TimesTimer_Timer(); // previous write still waiting: dropped
        QCOMPARE(rig.controller.queued(), 1);
        rig.master.holdReplies = false;
        rig.master.release();
        QVERIFY(rig.waitFinished(1));
        rig.controller.SetTankHeight1000TimesTimer_Timer();
        QVERIFY(rig.waitFinished(2));
        rig.controller.SetTankHeight1000TimesTimer_Timer();
        QVERIFY(rig.waitFinished(3));
        QList<quint16> values;
        for (const Request& r : rig.master.requests.mid(1)) {
            QCOMPARE(r.start, 51);
            values << r.values.front();
        }
        QCOMPARE(values, QList<quint16>({ 10000, 11000, 10000 }));
        QVERIFY(!rig.controller.PeriodicTankHeightHigh());
    }
};

QTEST_GUILESS_MAIN(TstConfigController)
#include "tst_config_controller.moc"
