// What a user reads from the main window while it polls: outcomes that stay until the next one,
// marks that go with their mode, a log that matches the panels, silence that is shown.
#include "app/main_controller.h"
#include "common/colors.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "support/main_window_rig.h"
#include "support/text_lines.h"
#include "ui/multiple_devices_window.h"
#include "ui/registers_test_window.h"
#include "ui_main_window.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace velto;
using test::fileLines;

namespace {

QList<quint16> staticGroup(quint16 unit, quint16 mode)
{
    QList<quint16> w(16, 0);
    w[0] = 6000; // tank height
    w[5] = mode;
    w[7] = unit;
    return w;
}

QList<quint16> dynamicGroup(quint16 address, quint16 flowTenths)
{
    return { address, 4234, 1766, 2388, 1, 0, flowTenths, 0 };
}

// A 16-character single-sensor reply: distance 123 mm, status O.K.
const QByteArray kDistanceReply = QByteArrayLiteral("!01020301123013\r");

} // namespace

class TestMainWindowFeedback : public QObject {
    Q_OBJECT

    struct Fixture : test::MainWindowRig {
        void startOrvixRegisters()
        {
            connect();
            trigger("mnuOrvix25");
            trigger("mnuOrvixRegisters");
        }
        // One tick of the timer, driven by hand; a request it makes is answered before returning
        // unless the master holds its replies.
        void tick(QTimer* timer)
        {
            timer->stop();
            QMetaObject::invokeMethod(timer, "timeout");
            if (!master.holdReplies)
                QTRY_VERIFY(!master.busy());
        }
        // One tick of a timer that the logic needs running (the Velto tick sends only then); its
        // own next timeout lies an hour away.
        void tickRunning(QTimer* timer)
        {
            timer->start(3600 * 1000);
            QMetaObject::invokeMethod(timer, "timeout");
        }
        bool marksShown()
        {
            return !f().RedPoint->isHidden() || !f().lineSens0->isHidden() || !f().lineSens5->isHidden();
        }
        // Ticks until the blinking marks are on (they toggle each tick).
        void tickUntilMarksShow(QTimer* timer)
        {
            for (int i = 0; i < 2 && !marksShown(); ++i)
                tick(timer);
            QVERIFY(marksShown());
        }
        void selectSensorCount(int index)
        {
            f().NoOfUnitCombo->setCurrentIndex(index);
            emit f().NoOfUnitCombo->activated(index);
        }
        QColor idBackground(QLineEdit* box) { return box->palette().color(QPalette::Base); }
    };

private slots:
    void modbusOutcomeStaysUntilTheNextOne()
    {
        Fixture fx;
        fx.startOrvixRegisters();
        QLineEdit* box = fx.f().ModBusErrorMessageLabel_TextBox;
        fx.master.scripted.enqueue(test::FakeModbusMaster::timeout());
        fx.tick(fx.window().TimerModbusDataUpdate);
        QCOMPARE(box->text(), QString("Response timeout."));

        // While the next request waits for its answer, the time-out is still there to read.
        fx.master.holdReplies = true;
        fx.master.scripted.enqueue(test::FakeModbusMaster::ok());
        fx.tick(fx.window().TimerModbusDataUpdate);
        QVERIFY(fx.master.busy());
        QCOMPARE(box->text(), QString("Response timeout."));
        fx.master.release();
        QCOMPARE(box->text(), QString("No error"));
    }

    void activityMarksGoWithTheirMode()
    {
        Fixture fx;
        fx.startOrvixRegisters();
        fx.tickUntilMarksShow(fx.window().TimerModbusDataUpdate);
        fx.trigger("mnuDisConnect");
        QVERIFY(!fx.marksShown());

        // Through the register test and back.
        fx.startOrvixRegisters();
        fx.tickUntilMarksShow(fx.window().TimerModbusDataUpdate);
        fx.trigger("mnuRegistersTest");
        auto* registers = fx.window().findChild<ui::RegistersTestWindow*>();
        QVERIFY(registers);
        QTest::mouseClick(registers->findChild<QPushButton*>("ExitCommand"), Qt::LeftButton);
        QVERIFY(!fx.marksShown());

        // Through the multiple-devices window and back.
        fx.trigger("mnuOrvixRegisters");
        fx.tickUntilMarksShow(fx.window().TimerModbusDataUpdate);
        fx.trigger("mnu3Devices");
        auto* devices = fx.window().findChild<ui::MultipleDevicesWindow*>();
        QVERIFY(devices);
        QTest::mouseClick(devices->findChild<QPushButton*>("ExitCommand"), Qt::LeftButton);
        QVERIFY(!fx.marksShown());

        // The Velto mode's own blinking stops with Disconnect as well.
        fx.trigger("mnuVeltoProtocol");
        fx.tickUntilMarksShow(fx.window().TimerVeltoProtocol);
        fx.trigger("mnuDisConnect");
        QVERIFY(!fx.marksShown());
    }

    void twoSensorHighlightGoesWithTheAlternation()
    {
        Fixture fx;
        fx.startOrvixRegisters();
        QLineEdit* first = fx.f().TxtOrvixId;
        QLineEdit* second = fx.f().TxtOrvix2Id;
        const QColor plain = fx.idBackground(first);
        const QColor lightGreen = QColor::fromRgb(0xC0, 0xFF, 0xC0);

        fx.selectSensorCount(1);
        fx.tick(fx.window().TimerForJump2DevicesModbus);
        QCOMPARE(fx.idBackground(first), lightGreen);
        fx.selectSensorCount(0);
        QCOMPARE(fx.idBackground(first), plain);
        QCOMPARE(fx.idBackground(second), plain);

        // Back to two sensors the alternation goes on from where it was: one box or the other is lit.
        fx.selectSensorCount(1);
        fx.tick(fx.window().TimerForJump2DevicesModbus);
        QVERIFY((fx.idBackground(first) == lightGreen) != (fx.idBackground(second) == lightGreen));
        fx.trigger("mnuVeltoProtocol");
        QCOMPARE(fx.idBackground(first), plain);
        QCOMPARE(fx.idBackground(second), plain);
    }

    void logOpensOnANewCsvFile()
    {
        Fixture fx;
        fx.startOrvixRegisters();
        fx.trigger("mnuLog");
        QTemporaryDir dir;
        const QString path = dir.filePath("new.csv");
        fx.prompter.fileAnswers.enqueue(path);
        QTest::mouseClick(fx.f().OpenFile, Qt::LeftButton);
        QCOMPARE(fx.prompter.fileDialogKinds, QStringList { "openOrNew" });
        QCOMPARE(fx.prompter.fileDialogSelectedFilters.last().trimmed(), QString("csv Files (*.csv)"));
        QCOMPARE(fileLines(path).size(), 1);
    }

    void logColumnsFollowTheDeviceOnShow()
    {
        Fixture fx;
        fx.startOrvixRegisters();
        Ui::ProtocolChoose& f = fx.f();
        // Address 3 measures flow in M3/HR.
        f.TxtOrvixId->setText("3");
        fx.master.scripted << test::FakeModbusMaster::ok(staticGroup(3, 3))
                           << test::FakeModbusMaster::ok(dynamicGroup(3, 1234));
        fx.tick(fx.window().TimerModbusDataUpdate);
        fx.tick(fx.window().TimerModbusDataUpdate);
        QCOMPARE(f.Vol_Flow_Tot_Value_Text->text(), QString("123.4"));
        QCOMPARE(f.Vol_Flow_Tot_Ind_Label->text(), QString("Flow"));

        // Address 1 measures level: its first answer is not even the static group.
        f.TxtOrvixId->setText("1");
        fx.tick(fx.window().TimerModbusDataUpdate);
        QCOMPARE(fx.master.requests.last().slave, 1);
        QVERIFY(f.Vol_Flow_Tot_Value_Text->isHidden());

        fx.trigger("mnuLog");
        QTemporaryDir dir;
        const QString path = dir.filePath("level.csv");
        fx.prompter.fileAnswers.enqueue(path);
        QTest::mouseClick(f.OpenFile, Qt::LeftButton);
        fx.controller.logPanel().logger().EnterDataToFile();
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0],
            QString("Error Status,Distance,Level,Temperature,Tank Height,Measurment Unit,Time,Date"));
        QVERIFY2(!lines[1].contains("123.4"), qPrintable(lines[1]));
        QCOMPARE(lines[1].count(" , "), 8);
    }

    void veltoSilenceIsShownUntilAnAnswer()
    {
        Fixture fx;
        fx.connect();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuVeltoProtocol");
        QSignalSpy ticks(&fx.controller.veltoReadings().poller(), &veltoproto::VeltoPoller::tickFinished);
        QLineEdit* status = fx.f().VeltoDevSta;

        fx.tickRunning(fx.window().TimerVeltoProtocol);
        QTRY_COMPARE(ticks.size(), 1);
        QCOMPARE(fx.link.written.size(), 4);
        QCOMPARE(status->text(), QString("No Response"));
        QVERIFY(status->font().bold());
        QCOMPARE(status->palette().color(QPalette::Text), kRed);

        // One intelligible answer in a tick and the sensor's own status is back.
        fx.link.receive(kDistanceReply);
        fx.tickRunning(fx.window().TimerVeltoProtocol);
        QTRY_COMPARE(ticks.size(), 2);
        QCOMPARE(status->text(), QString("O.K"));
        QCOMPARE(status->palette().color(QPalette::Text), kBlue);
    }
};

QTEST_MAIN(TestMainWindowFeedback)
#include "tst_main_window_feedback.moc"
