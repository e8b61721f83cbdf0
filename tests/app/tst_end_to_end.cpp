// The whole path through real serial lines: the main window with the real Modbus master and byte
// link, against the built-in simulated sensors and against Qt's own Modbus server.
#include "app/main_controller.h"
#include "serial/qt_byte_link.h"
#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "support/fake_prompter.h"
#include "support/pty_pair.h"
#include "support/rtu_server.h"
#include "support/serial_rtu_master.h"
#include "support/text_lines.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"

#include <QModbusRtuSerialServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace velto;
using test::fileLines;

namespace {
constexpr int kWaitMs = 8000;
// Against a peer that always answers, a time-out would only measure how starved the machine is;
// with this receive time-out one counted means the peer really stayed silent.
constexpr int kPatientRxMs = 30000;

struct Bench {
    explicit Bench(QList<serial::PortChoice> ports = {})
        : ports(std::move(ports))
    {
    }
    sim::ManualClock clock { 120000 };
    sim::SimulatedLine line { clock };
    test::SerialRtuMaster master;
    serial::QtByteLink link;
    test::FakePrompter prompter;
    QList<serial::PortChoice> ports;
    app::MainController controller { { master, link, prompter, [this] { return ports; },
        [this] { return line.devicePath(); } } };

    ui::MainWindow& window() { return controller.window(); }
    Ui::ProtocolChoose& f() { return controller.window().form(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    // Connect > OK on the given entry of the port list.
    void connectTo(const QString& portText)
    {
        trigger("mnuConnect");
        Ui::PortSetup& p = controller.connection().portWindow()->form();
        p.cmbPortNum->setCurrentIndex(p.cmbPortNum->findText(portText));
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
    }
    int counter(QLineEdit* box) { return box->text().toInt(); }
};

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void orvixRegistersAgainstSimulatedSensors()
    {
        Bench b;
        QVERIFY(b.line.isValid());
        b.connectTo("Simulated sensors");
        b.trigger("mnuOrvix25");
        b.trigger("mnuOrvixRegisters");
        QVERIFY(b.master.portOpen());
        b.master.setRxTimeout(kPatientRxMs);
        Ui::ProtocolChoose& f = b.f();
        QTRY_VERIFY_WITH_TIMEOUT(b.counter(f.ValidSlaveResponsesOneDeviceText) >= 4, kWaitMs);
        QCOMPARE(f.IrMeasurementUnit->text(), QString("METER"));
        QCOMPARE(f.LabelTankHeight->text(), QString("meter"));
        QCOMPARE(f.DeviceAddText->text(), QString("1"));
        QVERIFY(f.IrDistance->text() != "N/A");
        QVERIFY(f.IrLevel->text() != "N/A");
        QVERIFY(f.ErrorStatusText->text().contains('-'));
        QVERIFY(QStringList({ "RS485", "RS232" }).contains(f.IrcommTYpe->text()));
        QCOMPARE(f.ErrorModbus_TextBox->text(), QString("0"));
        QVERIFY(b.counter(f.NumberOfPollsOneDeviceText) >= b.counter(f.ValidSlaveResponsesOneDeviceText));
        // The tank picture follows the level box.
        QTRY_VERIFY(f.pictTank->filledRows() > 0);

        // Two sensors: the address alternates and the current box is highlighted.
        b.window().TimerForJump2DevicesModbus->setInterval(200);
        f.NoOfUnitCombo->setCurrentIndex(1);
        emit f.NoOfUnitCombo->activated(1);
        QVERIFY(!f.TxtOrvix2Id->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(f.DeviceAddText->text(), QString("2"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(f.DeviceAddText->text(), QString("1"), kWaitMs);

        b.trigger("mnuDisConnect");
        QVERIFY(!b.master.portOpen());
        QCOMPARE(f.IrDistance->text(), QString("N/A"));
    }

    void orvixRegistersAgainstQtServerShowExactTexts()
    {
        test::PtyBridge bridge;
        QVERIFY(bridge.isValid());
        const auto serverOwner = test::startRtuServer(bridge.pathB(), 1, 200);
        QVERIFY(serverOwner);
        QModbusRtuSerialServer& server = *serverOwner;
        auto put = [&](int reg, QList<quint16> words) {
            server.setData(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, reg, words));
        };
        put(0, { 1, 100, 50, 2150, 0x0003, 0x0005, 0, 0 });
        put(51, { 150, 20, 0, 140, 0, 1, 0, 2, 35, 0, 0, 0, 0, 0, 0, 0 });
        put(192, { 0, 11, 22, 33, 44 });

        Bench b({ { bridge.pathA(), bridge.pathA(), false } });
        b.connectTo(bridge.pathA());
        b.trigger("mnuOrvix25");
        b.trigger("mnuOrvixRegisters");
        const int rxTimeoutMs = b.master.rxTimeout();
        b.master.setRxTimeout(kPatientRxMs);
        Ui::ProtocolChoose& f = b.f();
        QTRY_VERIFY_WITH_TIMEOUT(b.counter(f.ValidSlaveResponsesOneDeviceText) >= 4, kWaitMs);
        QCOMPARE(f.IrMeasurementUnit->text(), QString("FEET"));
        QCOMPARE(f.IrTankHeight->text(), QString("15"));
        QCOMPARE(f.LabelTankHeight->text(), QString("feet"));
        QCOMPARE(f.IndicationModeText->text(), QString("Level"));
        QCOMPARE(f.Current4mAText->text(), QString("2"));
        QCOMPARE(f.Current20mAText->text(), QString("14"));
        QCOMPARE(f.SbdText->text(), QString("0"));
        QCOMPARE(f.Interference1Text->text(), QString("3.5"));
        QCOMPARE(f.Interference2Text->text(), QString("N/A"));
        QCOMPARE(f.IrDistance->text(), QString("10"));
        QCOMPARE(f.IrLevel->text(), QString("5"));
        QCOMPARE(f.IrTemperature->text(), QString("21.5"));
        QCOMPARE(f.ErrorStatusText->text(), QString("-Full--OK-"));
        QCOMPARE(f.LabelRel1->text(), QString("open"));
        QCOMPARE(f.LabelRel2->text(), QString("close"));
        QCOMPARE(f.LabelRel3->text(), QString("open"));
        QCOMPARE(f.IrcommTYpe->text(), QString("RS485"));
        QCOMPARE(f.IrMainProVersion->text(), QString("22"));
        QCOMPARE(f.IrHwRevisionVersion->text(), QString("44"));
        QCOMPARE(f.ErrorModbus_TextBox->text(), QString("0"));

        // The far end goes away mid-poll: an error is shown and the program goes on.
        b.master.setRxTimeout(rxTimeoutMs);
        server.disconnectDevice();
        bridge.cut();
        QTRY_VERIFY_WITH_TIMEOUT(!f.ModBusErrorMessageLabel_TextBox->text().isEmpty()
                && f.ModBusErrorMessageLabel_TextBox->text() != "No error",
            kWaitMs);
        b.trigger("mnuDisConnect");
        QVERIFY(!b.window().TimerModbusDataUpdate->isActive());
    }

    void veltoProtocolShowsBothLayoutsAndLogs()
    {
        Bench b;
        Ui::ProtocolChoose& f = b.f();
        b.connectTo("Simulated sensors");
        b.trigger("mnuOrvix25");
        f.TxtOrvixId->setText("10");
        b.trigger("mnuVeltoProtocol");
        QVERIFY(b.link.isOpen());
        // Every reply fills all four boxes from what has arrived so far, zeros included; the simulated
        // sensor's readings stand still, so once none is zero the boxes change no more.
        auto read = [](QLineEdit* box) { return box->text().toDouble() > 0; };
        QTRY_VERIFY_WITH_TIMEOUT(read(f.TxtVeltoDist) && read(f.TextVeltoLevel) && read(f.TextVeltoTemp)
                && read(f.IrVeltoTnakHeight),
            kWaitMs);
        QCOMPARE(f.LabelSensorNo1->text(), QString("Single Sensor"));
        QVERIFY(f.TextVeltoLevel2->isHidden());

        // Log three ticks of the single layout.
        QTemporaryDir dir;
        const QString path = dir.filePath("readings.csv");
        b.prompter.fileAnswers.enqueue(path);
        b.trigger("mnuLog");
        QCOMPARE(f.frmDataBase->title(), QString("DataBase for VeltoProtocol"));
        QTest::mouseClick(f.OpenFile, Qt::LeftButton);
        QVERIFY(!f.CloseFile->isHidden());
        f.RateTime->setText("0.5");
        QVERIFY(b.window().TimerVeltoProtocol->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(fileLines(path).size() >= 4, kWaitMs);
        QTest::mouseClick(f.CloseFile, Qt::LeftButton);
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.first(), QString("Error Status,Distance,Level,Temperature,Tank Height,Time,Date "));
        const QStringList values = lines.last().split(" , ");
        // status, distance, level, temperature, tank height, time, date, then the closing separator
        QCOMPARE(values.size(), 8);
        QCOMPARE(values.mid(0, 5),
            (QStringList { f.VeltoDevSta->text(), f.TxtVeltoDist->text(), f.TextVeltoLevel->text(),
                f.TextVeltoTemp->text(), f.IrVeltoTnakHeight->text() }));
        QCOMPARE(f.MSFlexGrid1->rowCount(), lines.size() - 1);
        QCOMPARE(f.MSFlexGrid1->item(f.MSFlexGrid1->rowCount() - 1, 1)->text(), values.at(1));

        // The two-sensor unit at another address switches the layout.
        f.TxtOrvixId->setText("20");
        QTRY_VERIFY_WITH_TIMEOUT(
            !f.TextVeltoLevel2->isHidden() && f.TextVeltoLevel2->text() != "N/A", kWaitMs);
        QCOMPARE(f.LabelSensorNo1->text(), QString("Sensor No. 1"));
        QVERIFY(!f.LabelMultiSensor->isHidden());
        QVERIFY(!f.MeasurementUnitCombo2->isHidden());

        // A unit change converts the shown values at once.
        const double metres = f.TextVeltoLevel2->text().toDouble();
        f.MeasurementUnitCombo2->setCurrentText("Inch");
        QCOMPARE(f.LabelVeltoLevel2->text(), QString("inch"));
        QVERIFY(qAbs(f.TextVeltoLevel2->text().toDouble() - metres * 39.37) < 0.01);

        b.trigger("mnuDisConnect");
        QVERIFY(!b.link.isOpen());
        QVERIFY(!b.window().TimerVeltoProtocol->isActive());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
