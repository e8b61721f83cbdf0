// The main window on a 1366x768 laptop screen: every control of a mode within reach, and nothing
// moving when the activity marks blink or the readings change.
#include "app/main_controller.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "support/main_window_rig.h"
#include "ui/eliding_line_edit.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include "support/offscreen_screen.h"

using namespace velto;

namespace {

QList<quint16> staticGroup(quint16 unit, quint16 mode, quint16 tankHeight)
{
    QList<quint16> w(16, 0);
    w[0] = tankHeight;
    w[2] = 0;
    w[4] = tankHeight;
    w[5] = mode;
    w[6] = 300;
    w[7] = unit;
    w[8] = 1200;
    return w;
}

QList<quint16> dynamicGroup(quint16 address, quint16 relays, quint16 status)
{
    return { address, 4234, 1766, 2388, status, relays, 1234, 0 };
}

// Where every visible widget of the window sits, by object name and position in the tree.
QMap<QString, QRect> geometries(QWidget& window)
{
    QMap<QString, QRect> out;
    const QList<QWidget*> all = window.findChildren<QWidget*>();
    for (int i = 0; i < all.size(); ++i) {
        QWidget* w = all[i];
        if (!w->isVisibleTo(&window))
            continue;
        out.insert(QStringLiteral("%1#%2").arg(w->objectName()).arg(i),
            QRect(w->mapTo(&window, QPoint(0, 0)), w->size()));
    }
    return out;
}

QStringList moved(const QMap<QString, QRect>& before, const QMap<QString, QRect>& after)
{
    QStringList out;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (after.contains(it.key()) && after.value(it.key()) != it.value())
            out << it.key();
    return out;
}

} // namespace

class TestMainWindowLayout : public QObject {
    Q_OBJECT

    struct Fixture : test::MainWindowRig {

        void connectAndShow()
        {
            window().show();
            QVERIFY(QTest::qWaitForWindowExposed(&window()));
            trigger("mnuConnect");
            QTest::mouseClick(controller.connection().portWindow()->form().btnOKPortSetUp, Qt::LeftButton);
            QVERIFY(QTest::qWaitForWindowExposed(&window()));
        }
        // One tick of the given timer, answered by the fake master, with the timers held still.
        void tick(QTimer* timer)
        {
            timer->stop();
            const qsizetype before = master.requests.size();
            QMetaObject::invokeMethod(timer, "timeout");
            if (master.requests.size() > before)
                QTRY_VERIFY(!master.busy());
            QCoreApplication::processEvents();
        }
        // Three ticks of the single-sensor cycle: static, dynamic, information group.
        void pollAllGroups(const QList<quint16>& staticWords, const QList<quint16>& dynamicWords)
        {
            master.scripted.enqueue(test::FakeModbusMaster::ok(staticWords));
            master.scripted.enqueue(test::FakeModbusMaster::ok(dynamicWords));
            master.scripted.enqueue(test::FakeModbusMaster::ok({ 0, 12, 215, 31, 3 }));
            for (int i = 0; i < 3; ++i)
                tick(window().TimerModbusDataUpdate);
        }
        // Lets pending layout work and any growth of the window settle.
        void settle()
        {
            for (int i = 0; i < 3; ++i) {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                QCoreApplication::processEvents();
            }
        }
    };

    static QRect screenArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // The control lies wholly on the screen and in the visible part of the window.
    static bool withinReach(QWidget* control, QWidget& window)
    {
        const QRect global(control->mapToGlobal(QPoint(0, 0)), control->size());
        QRect visible(window.mapToGlobal(QPoint(0, 0)), window.size());
        if (auto* area = window.findChild<QScrollArea*>(); area && area->widget()->isAncestorOf(control))
            visible &= QRect(area->viewport()->mapToGlobal(QPoint(0, 0)), area->viewport()->size());
        return screenArea().contains(global) && visible.contains(global);
    }

    static void verifyWithinReach(QWidget& window, const QStringList& names)
    {
        QVERIFY(screenArea().contains(window.frameGeometry()));
        for (const QString& name : names) {
            auto* control = window.findChild<QWidget*>(name);
            QVERIFY2(control, qPrintable(name));
            QVERIFY2(control->isVisible(), qPrintable(name));
            QVERIFY2(withinReach(control, window), qPrintable(name));
        }
    }

private slots:
    void initTestCase()
    {
        if (screenArea().size() != QSize(1366, 768))
            QSKIP("needs the offscreen platform's 1366x768 screen");
    }

    void orvixRegistersFitTheScreen()
    {
        Fixture fx;
        fx.connectAndShow();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        fx.pollAllGroups(staticGroup(0, 1, 6000), dynamicGroup(1, 0x05, 0x01));
        fx.settle();
        QSize minimum = fx.window().minimumSizeHint().expandedTo(fx.window().minimumSize());
        QVERIFY2(minimum.width() <= 1366 && minimum.height() <= 768 - 40,
            qPrintable(QStringLiteral("%1x%2").arg(minimum.width()).arg(minimum.height())));
        verifyWithinReach(fx.window(),
            { "IrDistance", "IrLevel", "IrTemperature", "GetSetMdbusCommand", "SetModbusParametersFrame",
                "SetMeasurementUnitCommand", "LabelModBusErrorMessages", "ModBusErrorMessageLabel_TextBox",
                "ResetCtrs_Command", "ErrorModbus_TextBox", "Interference8Text", "LabelRel5", "pictTank",
                "IrHwRevisionVersion", "CheckIllegalDataAddressCommand", "ProtocolTypeText" });

        // The log panel joins without pushing the readings out of reach.
        fx.trigger("mnuLog");
        fx.settle();
        verifyWithinReach(fx.window(), { "IrTemperature", "OpenFile", "ResetCtrs_Command" });
    }

    void veltoTwoSensorsWithLogFitTheScreen()
    {
        Fixture fx;
        fx.connectAndShow();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuVeltoProtocol");
        for (QWidget* second : std::initializer_list<QWidget*> { fx.f().TxtVeltoDist2, fx.f().TextVeltoLevel2,
                 fx.f().TextVeltoTemp2, fx.f().IrVeltoTnakHeight2, fx.f().VeltoDevSta2, fx.f().LabelSensorNo2,
                 fx.f().MeasurementUnitCombo2, fx.f().LabelMultiSensor, fx.f().labelVeltoDist2 })
            second->show();
        fx.trigger("mnuLog");
        QTemporaryDir dir;
        fx.prompter.fileAnswers.enqueue(dir.filePath("two.csv"));
        QTest::mouseClick(fx.f().OpenFile, Qt::LeftButton);
        fx.settle();
        verifyWithinReach(fx.window(),
            { "TxtVeltoDist2", "VeltoDevSta2", "MeasurementUnitCombo2", "TextVeltoTemp", "RateTime",
                "CloseFile", "pictTank", "TxtOrvixId", "ConnectionStatusText" });
        QVERIFY(fx.f().MSFlexGrid1->isVisible());
        QVERIFY(withinReach(fx.f().MSFlexGrid1->viewport(), fx.window()));
        // The grid opens at its first column, and stays there while rows come in.
        QTableWidget* grid = fx.f().MSFlexGrid1;
        QCOMPARE(grid->columnCount(), 12);
        QCOMPARE(grid->horizontalScrollBar()->value(), 0);
        grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
        fx.controller.logPanel().logger().EnterDataToFile();
        fx.controller.logPanel().logger().EnterDataToFile();
        QCOMPARE(grid->rowCount(), 2);
        fx.prompter.fileAnswers.enqueue(dir.filePath("again.csv"));
        QTest::mouseClick(fx.f().CloseFile, Qt::LeftButton);
        QTest::mouseClick(fx.f().OpenFile, Qt::LeftButton);
        QCOMPARE(grid->rowCount(), 0);
        QCOMPARE(grid->horizontalScrollBar()->value(), 0);
        QCOMPARE(grid->columnAt(0), 0);
    }

    void veltoSensorCaptionsHaveRoom()
    {
        Fixture fx;
        fx.connectAndShow();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuVeltoProtocol");
        Ui::ProtocolChoose& f = fx.f();
        for (QWidget* second : std::initializer_list<QWidget*> { f.TxtVeltoDist2, f.TextVeltoLevel2,
                 f.TextVeltoTemp2, f.IrVeltoTnakHeight2, f.VeltoDevSta2, f.LabelSensorNo2,
                 f.MeasurementUnitCombo2, f.LabelMultiSensor, f.labelVeltoDist2, f.LabelVeltoTnakHeight2,
                 f.LabelVeltoLevel2, f.LabelVeltoTemp2 })
            second->show();
        f.LabelSensorNo1->setText("Sensor No. 1");
        fx.settle();
        const QList<QLabel*> captions { f.LabelMultiSensor, f.LabelSensorNo1, f.LabelSensorNo2 };
        const int room = 2 * f.LabelMultiSensor->fontMetrics().horizontalAdvance(' ');
        // Where a caption's letters are: from its contents' left edge, as wide as its text.
        const auto letters = [&f](QLabel* label) {
            const int width = label->fontMetrics().horizontalAdvance(label->text());
            return QRect(label->mapTo(f.frmVelto, label->contentsRect().topLeft()),
                QSize(width, label->contentsRect().height()));
        };
        for (QLabel* a : captions) {
            QVERIFY2(a->contentsRect().width() >= letters(a).width(), qPrintable(a->objectName()));
            const QRect ra = letters(a);
            for (QLabel* b : captions) {
                const QRect rb = letters(b);
                // Side by side on one line, two captions leave at least two blanks between them.
                if (a == b || ra.bottom() < rb.top() || rb.bottom() < ra.top() || ra.left() > rb.left())
                    continue;
                QVERIFY2(rb.left() - ra.right() > room,
                    qPrintable(QStringLiteral("%1 and %2: %3 px")
                                   .arg(a->objectName(), b->objectName())
                                   .arg(rb.left() - ra.right() - 1)));
            }
        }
    }

    void errorTextShowsItsStartAndTellsTheRest()
    {
        Fixture fx;
        fx.connectAndShow();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        auto* box = fx.window().findChild<ui::ElidingLineEdit*>("ModBusErrorMessageLabel_TextBox");
        QVERIFY(box);
        const QFontMetrics metrics(box->font());
        // The usual texts fit whole.
        for (const QString& text : { QString("Illegal Data Address (exception 2)"),
                 QString("Time-out: no response from slave 99 within 1000 ms") }) {
            fx.master.scripted.enqueue(test::FakeModbusMaster::failure(9, text));
            fx.tick(fx.window().TimerModbusDataUpdate);
            QCOMPARE(box->text(), text);
            QCOMPARE(box->shownText(), text);
            QCOMPARE(box->toolTip(), text);
        }
        // A longer one shows its start, and the tooltip has all of it.
        const QString longText
            = QStringLiteral("Serial line lost: the device was unplugged while a request was "
                             "on its way to slave 247");
        fx.master.scripted.enqueue(test::FakeModbusMaster::failure(15, longText));
        fx.tick(fx.window().TimerModbusDataUpdate);
        QVERIFY(box->shownText().startsWith("Serial line lost"));
        QVERIFY(box->shownText().endsWith(QChar(0x2026)));
        QCOMPARE(box->toolTip(), longText);
    }

    void portSetupOpensOverTheWindowAndEnterConfirms()
    {
        Fixture fx;
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
        const QPoint mainCentre = fx.window().frameGeometry().center();
        fx.trigger("mnuConnect");
        ui::PortSetupWindow* port = fx.controller.connection().portWindow();
        QVERIFY(QTest::qWaitForWindowExposed(port));
        QVERIFY(screenArea().contains(port->frameGeometry()));
        QVERIFY((port->frameGeometry().center() - mainCentre).manhattanLength() <= 4);

        QComboBox* box = port->form().cmbPortNum;
        const int listed = box->count();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), "/dev/ttyUSB3");
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QVERIFY(!fx.window().entry("mnuConnect")->isEnabled());
        QCOMPARE(fx.f().COMPortText->text(), QString("/dev/ttyUSB3"));
        QCOMPARE(box->count(), listed); // a typed path does not join the list of found ports
        QTRY_VERIFY(!fx.controller.connection().portWindow());

        // Enter on any other list of the window confirms too.
        fx.trigger("mnuDisConnect");
        fx.trigger("mnuConnect");
        port = fx.controller.connection().portWindow();
        QVERIFY(QTest::qWaitForWindowExposed(port));
        port->form().cmbBPS->setFocus();
        QTest::keyClick(port->form().cmbBPS, Qt::Key_Return);
        QVERIFY(!fx.window().entry("mnuConnect")->isEnabled());
    }

    void blinkAndReadingsMoveNothing()
    {
        Fixture fx;
        fx.connectAndShow();
        fx.trigger("mnuOrvix25");
        fx.trigger("mnuOrvixRegisters");
        fx.pollAllGroups(staticGroup(0, 1, 6000), dynamicGroup(1, 0x05, 0x01));
        fx.settle();
        const QMap<QString, QRect> before = geometries(fx.window());

        // Another device: feet, flow mode, other relays and status, a long error text, then blinks.
        fx.pollAllGroups(staticGroup(2, 3, 400), dynamicGroup(2, 0x1A, 0x3F));
        fx.master.scripted.enqueue(
            test::FakeModbusMaster::failure(102, QStringLiteral("Illegal Data Address (exception 2)")));
        fx.tick(fx.window().TimerModbusDataUpdate);
        fx.settle();
        QVERIFY(!fx.f().Vol_Flow_Tot_Value_Text->isHidden());
        QCOMPARE(moved(before, geometries(fx.window())), QStringList());

        // The Velto mode's marks blink once a second beside the tank.
        fx.trigger("mnuVeltoProtocol");
        fx.tick(fx.window().TimerVeltoProtocol);
        fx.settle();
        const QMap<QString, QRect> velto = geometries(fx.window());
        fx.tick(fx.window().TimerVeltoProtocol);
        fx.settle();
        QCOMPARE(moved(velto, geometries(fx.window())), QStringList());
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestMainWindowLayout, 1366, 768)
#include "tst_main_window_layout.moc"
