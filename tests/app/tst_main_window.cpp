#include "app/main_controller.h"
#include "common/colors.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

using namespace velto;

class TestMainWindow : public QObject {
    Q_OBJECT

    struct Fixture {
        test::FakeModbusMaster master;
        test::FakeByteLink link;
        test::FakePrompter prompter;
        QList<serial::PortChoice> ports { { "/dev/ttyFAKE0", "/dev/ttyFAKE0", false },
            { "/dev/ttyFAKE1", "/dev/ttyFAKE1", false } };
        app::MainController controller { { master, link, prompter, [this] { return ports; },
            [] { return QStringLiteral("/dev/simulated"); } } };

        ui::MainWindow& window() { return controller.window(); }
        Ui::ProtocolChoose& f() { return controller.window().form(); }
        bool enabled(const char* entry) { return window().entry(entry)->isEnabled(); }
        void trigger(const char* entry) { window().entry(entry)->trigger(); }
        ui::PortSetupWindow* portWindow() { return controller.connection().portWindow(); }

        // Connect > OK with the chosen list positions.
        void connect(int port = 0, int baud = 0, int stop = 0)
        {
            trigger("mnuConnect");
            QVERIFY(portWindow());
            Ui::PortSetup& p = portWindow()->form();
            p.cmbPortNum->setCurrentIndex(port);
            p.cmbBPS->setCurrentIndex(baud);
            p.cmbStopBit->setCurrentIndex(stop);
            QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
        }
        QList<QTimer*> trafficTimers()
        {
            ui::MainWindow& w = window();
            return { w.TimerModbusDataUpdate, w.TimerVeltoProtocol, w.TimerForJump2DevicesModbus,
                w.TimerSingleMultiRegisters, w.TimerForModbusDevices };
        }
        bool anyTimerRunning()
        {
            for (QTimer* t : trafficTimers())
                if (t->isActive())
                    return true;
            return false;
        }
    };

    static QColor textColor(QWidget* w) { return w->palette().color(QPalette::Text); }

private slots:
    void startState()
    {
        Fixture fx;
        Ui::ProtocolChoose& f = fx.f();
        QCOMPARE(fx.window().windowTitle(), QString("Velto PC Control Application"));
        QCOMPARE(f.ConnectionStatusText->text(), QString("Disonnect"));
        QVERIFY(f.ConnectionStatusText->font().bold());
        QCOMPARE(textColor(f.ConnectionStatusText), kRed);
        for (QLineEdit* field : { f.CommunicationTypeText, f.COMPortText, f.BaundRateText, f.DataBitText,
                 f.ParityBitText, f.StopBitsText })
            QCOMPARE(field->text(), QString("N/A"));

        QTimer* update = fx.window().findChild<QTimer*>("TimerModbusDataUpdate");
        QVERIFY(update);
        QCOMPARE(update->interval(), 300);
        QVERIFY(!update->isActive());
        QCOMPARE(fx.window().findChild<QTimer*>("TimerForJump2DevicesModbus")->interval(), 10000);
        QCOMPARE(fx.window().findChild<QTimer*>("TimerVeltoProtocol")->interval(), 1000);
        QVERIFY(!fx.anyTimerRunning());
        for (const char* name : { "TimerForModbusDevices", "TimerRateInsertDataToFile",
                 "TimerSingleMultiRegisters", "SetTankHeight1000TimesTimer" }) {
            QTimer* timer = fx.window().findChild<QTimer*>(name);
            QVERIFY2(timer && !timer->isActive(), name);
        }
        QCOMPARE(fx.window().SetTankHeight1000TimesTimer->interval(), 5000);
        QCOMPARE(fx.master.tx, 300);
        QCOMPARE(fx.master.rx, 1000);

        QVERIFY(fx.enabled("mnuFile"));
        QVERIFY(fx.enabled("mnuExit"));
        QVERIFY(fx.enabled("mnuConnect"));
        QVERIFY(!fx.enabled("mnuDisConnect"));
        QVERIFY(!fx.enabled("mnuLog"));
        QVERIFY(!f.SetModbusParametersFrame->isEnabled());
        QCOMPARE(f.NoOfUnitCombo->count(), 2);
        QCOMPARE(f.NoOfUnitCombo->currentText(), QString("1"));
        QCOMPARE(f.MeasurementUnitCombo->currentText(), QString("Meter"));
        QCOMPARE(f.LabelSensorNo1->text(), QString("Single Sensor"));
        QVERIFY(f.TextVeltoLevel2->isHidden());
        QVERIFY(f.LabelMultiSensor->isHidden());
        QVERIFY(f.Frame1->isHidden());
        QVERIFY(f.frmDataBase->isHidden());
        QVERIFY(!f.FrameOrvixLogPCStatus->isHidden());
    }

    void menuTreeCaptions()
    {
        Fixture fx;
        const QList<QPair<const char*, const char*>> captions = { { "mnuFile", "&File" },
            { "mnuLog", "&Log" }, { "mnuExit", "&Exit" }, { "mnuConnect", "&Connect" },
            { "mnuDisConnect", "&Disconnect" }, { "mnuDevice", "&Device" }, { "mnuOrvix50H", "&Orvix50 H" },
            { "mnuRendo", "&Rendo" }, { "mnuFlashBurning", "&Flash Burning" },
            { "mnuTaliq485Debug", "&Taliq485 Debug" }, { "mnuOption", "&Option" }, { "mnuModBus", "&ModBus" },
            { "mnuOrvixRegisters", "&Orvix Registers" }, { "mnuConcatenation", "&Concatenation" },
            { "mnu2Devices", "&2  Devices" }, { "mnuRegistersTest", "&Registers Test" },
            { "mnuVeltoProtocol", "&VeltoProtocol" }, { "mnuCalibration", "&Calibration " },
            { "mnuAbout", "&About" }, { "mnuVeltoSite", "&Velto Site" } };
        for (const auto& [name, caption] : captions) {
            QAction* a = fx.window().entry(name);
            QVERIFY2(a, name);
            QCOMPARE(a->text(), QString(caption));
        }
        // The Log entry sits above a separator and Exit.
        const QList<QAction*> file = fx.window().findChild<QMenu*>("mnuFile")->actions();
        QCOMPARE(file.size(), 3);
        QVERIFY(file[1]->isSeparator());
    }

    void connectOkRecordsSettings()
    {
        Fixture fx;
        fx.connect(1, 1, 1); // second port, 19200, two stop bits
        Ui::ProtocolChoose& f = fx.f();
        QCOMPARE(fx.controller.state().serial.SerialSettings, QString("19200,n,8,2"));
        QCOMPARE(f.ConnectionStatusText->text(), QString("Connect"));
        QCOMPARE(textColor(f.ConnectionStatusText), kBlue);
        QVERIFY(f.ConnectionStatusText->font().bold());
        QCOMPARE(f.COMPortText->text(), QString("/dev/ttyFAKE1"));
        QCOMPARE(f.BaundRateText->text(), QString("19200"));
        QCOMPARE(f.DataBitText->text(), QString("8"));
        QCOMPARE(f.ParityBitText->text(), QString("none"));
        QCOMPARE(f.StopBitsText->text(), QString("2"));
        QCOMPARE(f.CommunicationTypeText->text(), QString("RS232"));
        QVERIFY(!fx.enabled("mnuConnect"));
        QVERIFY(!fx.enabled("mnuOption"));
        QVERIFY(fx.enabled("mnuDisConnect"));
        QVERIFY(fx.enabled("mnuDevice"));
        QVERIFY(!fx.link.isOpen());
        QVERIFY(!fx.master.portOpen());

        // The second port of the list is the one a mode opens, with the recorded settings.
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuVeltoProtocol");
        QVERIFY(fx.link.isOpen());
        QCOMPARE(fx.link.openedPort, QString("/dev/ttyFAKE1"));
        QCOMPARE(fx.link.openedSettings, QString("19200,n,8,2"));

        // The positions chosen are offered again at the next Connect.
        fx.trigger("mnuDisConnect");
        fx.trigger("mnuConnect");
        Ui::PortSetup& p = fx.portWindow()->form();
        QCOMPARE(p.cmbPortNum->currentIndex(), 1);
        QCOMPARE(p.cmbBPS->currentText(), QString("19200"));
        QCOMPARE(p.cmbStopBit->currentText(), QString("2"));
        QCOMPARE(p.cmbTypeProtocol->currentText(), QString("Mod Bus"));
        QCOMPARE(p.cmbPortNum->itemText(2), QString("Simulated sensors"));
        QVERIFY(!p.chkRemoveEcho->isChecked());
        QTest::mouseClick(p.btnCancel, Qt::LeftButton);
        QVERIFY(fx.enabled("mnuConnect"));
        QVERIFY(fx.window().isVisible() || QGuiApplication::platformName() == "offscreen");

        // Remove echo: off until chosen, then kept with the settings and handed to the line opened.
        QVERIFY(!fx.link.removeEcho);
        fx.trigger("mnuConnect");
        fx.portWindow()->form().chkRemoveEcho->setChecked(true);
        QTest::mouseClick(fx.portWindow()->form().btnOKPortSetUp, Qt::LeftButton);
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuVeltoProtocol");
        QVERIFY(fx.link.isOpen());
        QVERIFY(fx.link.removeEcho);
        fx.trigger("mnuDisConnect");
        fx.trigger("mnuConnect");
        QVERIFY(fx.portWindow()->form().chkRemoveEcho->isChecked());
    }

    // Escape is Cancel, from any list of the port window, the typed port's box too.
    void escapeCancelsPortSetup()
    {
        Fixture fx;
        for (const bool inPortBox : { false, true }) {
            fx.trigger("mnuConnect");
            QVERIFY(fx.portWindow());
            Ui::PortSetup& p = fx.portWindow()->form();
            if (inPortBox)
                QTest::keyClick(p.cmbPortNum->lineEdit(), Qt::Key_Escape);
            else
                QTest::keyClick(p.cmbBPS, Qt::Key_Escape);
            QVERIFY(fx.enabled("mnuConnect"));
            QTRY_VERIFY(!fx.portWindow());
            QVERIFY(!fx.controller.state().serial.SettingsSaved);
        }
    }

    void noFreePortKeepsWindowOpen()
    {
        Fixture fx;
        fx.ports.clear();
        fx.trigger("mnuConnect");
        QCOMPARE(fx.prompter.lastText(), QString("No Available Comport"));
        QVERIFY(fx.portWindow());
        Ui::PortSetup& p = fx.portWindow()->form();
        QVERIFY(p.cmbPortNum->isEditable());
        // A path typed by hand is accepted and opened later.
        p.cmbPortNum->setEditText("/dev/ttyUSB7");
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
        QCOMPARE(fx.f().COMPortText->text(), QString("/dev/ttyUSB7"));
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        QVERIFY(fx.master.portOpen());
    }

    void simulatedSensorsAreAnOrdinaryPort()
    {
        Fixture fx;
        fx.connect(2);
        QCOMPARE(fx.f().COMPortText->text(), QString("Simulated sensors"));
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuVeltoProtocol");
        QCOMPARE(fx.link.openedPort, QString("/dev/simulated"));
    }

    void modesWhileDisconnectedOpenNothing()
    {
        Fixture fx;
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        QVERIFY(!fx.anyTimerRunning());
        QVERIFY(!fx.master.portOpen());
        QVERIFY(!fx.link.isOpen());
        fx.trigger("mnuVeltoProtocol");
        QVERIFY(!fx.anyTimerRunning());
        QVERIFY(!fx.link.isOpen());
        QVERIFY(!fx.f().frmVelto->isHidden());
        QCOMPARE(fx.f().ProtocolTypeText->text(), QString("VeltoProtocol"));
        QCOMPARE(fx.f().LabelOrvixId->text(), QString("Insert Orvix ID"));
    }

    void modelsShowAndHideRelays()
    {
        Fixture fx;
        fx.connect();
        fx.trigger("mnuPellan");
        QCOMPARE(fx.f().DeviceText->text(), QString("Pellan"));
        for (int k = 3; k <= 5; ++k) {
            QVERIFY(fx.window().findChild<QLabel*>(QString("LabelRel%1").arg(k))->isHidden());
            QVERIFY(fx.window().findChild<QLabel*>(QString("LabelRealyNo%1").arg(k))->isHidden());
        }
        QVERIFY(!fx.window().findChild<QLabel*>("LabelRel2")->isHidden());
        QVERIFY(fx.enabled("mnuOption"));
        QVERIFY(!fx.enabled("mnuCalibration"));
        QCOMPARE(fx.window().findChild<QLabel*>("LabelRealyNo3")->text(), QString("Realy No. 3 is"));

        fx.trigger("mnuOrvix25");
        QCOMPARE(fx.f().DeviceText->text(), QString("Orvix25"));
        for (int k = 3; k <= 5; ++k)
            QVERIFY(!fx.window().findChild<QLabel*>(QString("LabelRel%1").arg(k))->isHidden());

        fx.trigger("mnuOrvix50H");
        QCOMPARE(fx.f().DeviceText->text(), QString("Orvix50 H"));
        QVERIFY(fx.enabled("mnuCalibration"));
        QVERIFY(!fx.enabled("mnuModBus"));
    }

    void orvixRegistersThenVeltoSwitchTheLine()
    {
        Fixture fx;
        fx.connect();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        ui::MainWindow& w = fx.window();
        QVERIFY(w.TimerModbusDataUpdate->isActive());
        QVERIFY(fx.master.portOpen());
        QVERIFY(!fx.link.isOpen());
        QVERIFY(fx.enabled("mnuLog"));
        QCOMPARE(fx.f().ProtocolTypeText->text(), QString("ModBus"));
        for (const QString& panel : app::ModeController::modbusPanels())
            QVERIFY2(!w.findChild<QWidget*>(panel)->isHidden(), qPrintable(panel));
        QVERIFY(fx.f().frmVelto->isHidden());
        QVERIFY(!fx.controller.state().VeltoProtocolMode);

        fx.trigger("mnuVeltoProtocol");
        QVERIFY(!w.TimerModbusDataUpdate->isActive());
        QVERIFY(w.TimerVeltoProtocol->isActive());
        QVERIFY(fx.link.isOpen());
        QVERIFY(!fx.master.portOpen());
        QVERIFY(fx.controller.state().VeltoProtocolMode);
        QVERIFY(fx.f().frmStaticParameters->isHidden());
        QVERIFY(!fx.f().Frame1->isHidden());
        QVERIFY(fx.f().ModbusCountersArea->isHidden());

        // Log opens the logging panel captioned after the mode.
        fx.trigger("mnuLog");
        QCOMPARE(fx.f().frmDataBase->title(), QString("DataBase for VeltoProtocol"));
    }

    void disconnectWhilePollingResetsEverything()
    {
        Fixture fx;
        fx.connect();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        fx.f().NoOfUnitCombo->setCurrentIndex(1);
        fx.window().TimerForJump2DevicesModbus->start();
        QTest::mouseClick(
            fx.window().findChild<QPushButton*>("SetTankHeight1000TimesCommand"), Qt::LeftButton);
        QVERIFY(fx.window().SetTankHeight1000TimesTimer->isActive());
        QVERIFY(fx.anyTimerRunning());

        fx.trigger("mnuDisConnect");
        QVERIFY(!fx.anyTimerRunning());
        QVERIFY(!fx.window().SetTankHeight1000TimesTimer->isActive());
        QVERIFY(!fx.master.portOpen());
        QVERIFY(!fx.link.isOpen());
        Ui::ProtocolChoose& f = fx.f();
        QCOMPARE(f.ConnectionStatusText->text(), QString("Disonnect"));
        QCOMPARE(textColor(f.ConnectionStatusText), kRed);
        QCOMPARE(f.COMPortText->text(), QString("N/A"));
        QCOMPARE(f.BaundRateText->text(), QString("N/A"));
        QVERIFY(fx.enabled("mnuConnect"));
        QVERIFY(!fx.enabled("mnuDisConnect"));
        QVERIFY(!fx.enabled("mnuLog"));
        QVERIFY(f.pictTank->isHidden());
        QCOMPARE(f.DeviceText->text(), QString());
        QCOMPARE(f.ErrorStatusText->text(), QString("N/A"));
        QCOMPARE(f.TxtVeltoDist->text(), QString("N/A"));
        QVERIFY(!f.LabelRel1->font().bold());
    }

    void addressBoxFollowsTheMode()
    {
        Fixture fx;
        fx.f().TxtOrvixId->setText("0");
        QCOMPARE(fx.prompter.lastText(),
            QString("Wrong value. Enter your valid ID address between 1 to 255 sec (default value 1)"));
        QCOMPARE(fx.f().TxtOrvixId->text(), QString("1"));
        QCOMPARE(fx.controller.state().CurrentSlaveId, quint16(1));

        fx.connect();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuVeltoProtocol");
        const qsizetype before = fx.prompter.messages.size();
        fx.f().TxtOrvixId->setText("0");
        QCOMPARE(fx.prompter.messages.size(), before);
        QCOMPARE(fx.controller.state().CurrentSlaveId, quint16(0));
        fx.f().TxtOrvixId->setText("256");
        QCOMPARE(fx.prompter.lastText(),
            QString("Wrong number. Enter your valid ID address between 0 to 255 sec (default value 1)"));
        QCOMPARE(fx.f().TxtOrvixId->text(), QString("0"));
    }

    void aboutBoxShowsIdentityAndStack()
    {
        Fixture fx;
        fx.trigger("mnuAbout");
        QWidget* about = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "frmAbout")
                about = top;
        if (!about)
            about = fx.window().findChild<QWidget*>("frmAbout");
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QString("About Velto PC Control Application"));
        QCOMPARE(about->findChild<QLabel*>("lblTitle")->text(),
            QString("Application Title: Orvix Log Application"));
        QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(), QString("Version: PC021"));
        auto* table = about->findChild<QTableWidget*>("ModelTable");
        QCOMPARE(table->rowCount(), 6);
        QCOMPARE(table->item(2, 0)->text(), QString("Orvix50"));
        QCOMPARE(table->item(2, 1)->text(), QString("5147"));
        QTest::mouseClick(about->findChild<QPushButton*>("SMRXAboutCommand"), Qt::LeftButton);
        QCOMPARE(fx.prompter.lastText(), fx.master.aboutText());
        QTest::mouseClick(about->findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
#ifndef Q_OS_WIN
        QCOMPARE(fx.prompter.lastText(), QString("System Information Is Unavailable At This Time"));
#endif
        QTest::mouseClick(about->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
