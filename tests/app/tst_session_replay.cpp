// A session saved by the traffic monitor, replayed through the port list's "Replay a recorded
// session...": the main window reads what it read from the simulated sensors; a damaged file is
// refused with its line and the port window stays open.
#include "app/main_controller.h"
#include "app/session_replayer.h"
#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"
#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "support/fake_prompter.h"
#include "support/offscreen_screen.h"
#include "support/serial_rtu_master.h"
#include "ui/traffic_monitor_window.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"
#include "ui_traffic_monitor_window.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace velto;

namespace {

constexpr int kWaitMs = 15000;
constexpr int kPatientRxMs = 30000;
const QStringList kBoxes = { "IrDistance", "IrLevel", "IrTemperature", "IrTankHeight", "IrMeasurementUnit",
    "IndicationModeText", "ErrorStatusText", "IrMainProVersion" };

struct Bench {
    sim::ManualClock clock { 90000 };
    sim::SimulatedLine line { clock };
    test::SerialRtuMaster master;
    serial::QtByteLink port;
    serial::TappedByteLink link { port };
    test::FakePrompter prompter;
    app::SessionReplayer replayer;
    QList<serial::PortChoice> ports { { line.devicePath(), line.devicePath(), false } };
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {}, {},
        [this](const QString& file, QString& error) { return replayer.start(file, error); } } };

    ui::MainWindow& window() { return controller.window(); }
    Ui::ProtocolChoose& f() { return controller.window().form(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    Ui::PortSetup& choosePort(const QString& portText)
    {
        trigger("mnuConnect");
        Ui::PortSetup& p = controller.connection().portWindow()->form();
        p.cmbPortNum->setCurrentIndex(p.cmbPortNum->findText(portText));
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
        return p;
    }
    int valid() { return f().ValidSlaveResponsesOneDeviceText->text().toInt(); }
    // Polls the registers until every group has been read twice; the boxes' texts then.
    QStringList pollRegisters()
    {
        const int before = valid();
        trigger("mnuOrvix25");
        trigger("mnuOrvixRegisters");
        master.setRxTimeout(kPatientRxMs);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(valid() >= before + 8, kWaitMs); }();
        QStringList texts;
        for (const QString& name : kBoxes)
            texts << name + '=' + window().findChild<QLineEdit*>(name)->text();
        return texts;
    }
};

} // namespace

class TestSessionReplay : public QObject {
    Q_OBJECT

private slots:
    void savedSessionReplaysTheSameReadings()
    {
        Bench b;
        QTemporaryDir dir;
        const QString path = dir.filePath("customer.txt");
        b.window().show();
        auto* monitor = qobject_cast<ui::TrafficMonitorWindow*>(b.controller.tools().trafficMonitor());
        b.choosePort(b.line.devicePath());
        const QStringList recorded = b.pollRegisters();
        QVERIFY(!recorded.contains("IrDistance=N/A"));
        b.trigger("mnuDisConnect");
        b.prompter.fileAnswers.enqueue(path);
        QSignalSpy saved(monitor, &ui::TrafficMonitorWindow::saved);
        monitor->form().SaveCommand->click();
        QVERIFY(saved.wait(kWaitMs));
        QCOMPARE(saved[0][1].toString(), QString());

        // The simulated sensors go quiet: only the session answers now.
        b.line.setFaults({ .silence = 1 });
        b.prompter.fileAnswers.enqueue(path);
        b.choosePort("Replay a recorded session...");
        QCOMPARE(b.prompter.fileDialogKinds.last(), QString("open"));
        QCOMPARE(b.f().COMPortText->text(), QString("Replay of customer.txt"));
        QVERIFY2(b.prompter.messages.isEmpty(), qPrintable(b.prompter.lastText()));
        QCOMPARE(b.pollRegisters(), recorded);
        QCOMPARE(b.f().ErrorModbus_TextBox->text(), QString("0"));
        b.trigger("mnuDisConnect");
    }

    void damagedSessionIsRefusedAtItsLine()
    {
        Bench b;
        QTemporaryDir dir;
        const QString path = dir.filePath("cut.txt");
        QFile cut(path);
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write("Velto traffic session\t1\r\nProgram\tvelto-pc 0.21\r\nDate\t2024-05-01T14:03:07");
        cut.close();
        b.prompter.fileAnswers.enqueue(path);
        b.choosePort("Replay a recorded session...");
        QCOMPARE(b.prompter.lastText(),
            "The session " + path
                + " cannot be replayed: line 4: the file ends before its column line: it was cut short");
        QVERIFY(b.controller.connection().portWindow()->isVisible());
        QVERIFY(b.window().entry("mnuConnect")->isEnabled());

        // A cancelled file dialog leaves the window open too, and says nothing.
        const qsizetype messages = b.prompter.messages.size();
        QTest::mouseClick(b.controller.connection().portWindow()->form().btnOKPortSetUp, Qt::LeftButton);
        QCOMPARE(b.prompter.messages.size(), messages);
        QVERIFY(b.controller.connection().portWindow()->isVisible());
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestSessionReplay, 1366, 768)
#include "tst_session_replay.moc"
