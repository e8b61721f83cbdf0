// The Modbus modes against a far end that misbehaves, over real pseudo-terminals with the real
// master: it closes mid-request, floods the line with garbage, answers as another slave, or goes
// silent. Each mode shows the failure where it shows every outcome, its window keeps ticking, the
// loop does not spin, and Disconnect and Connect bring the readings back.
#include "app/main_controller.h"
#include "serial/qt_byte_link.h"
#include "support/fake_prompter.h"
#include "support/loop_watch.h"
#include "support/scripted_rtu_peer.h"
#include "support/serial_rtu_master.h"
#include "ui/multiple_devices_window.h"
#include "ui/registers_test_window.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace velto;
using test::LoopWatch;
using test::ScriptedRtuPeer;

namespace {

constexpr int kSlave = 1;
constexpr int kRegisters = 200;
constexpr quint16 kValueBase = 100;
// Only catch hangs: a starved machine may take seconds for what normally takes milliseconds.
constexpr int kGuardMs = 20000;
constexpr qint64 kHangMs = 5000;
// Failed requests the mode must have shown before the loop's figures are judged.
constexpr int kFailuresSeen = 3;
// Probe ticks the loop is watched for once the line is gone, about half a second.
constexpr int kQuietTicks = 25;

int count(const QLineEdit* box)
{
    return box->text().toInt();
}

// What a status box has shown, blanks left out: the main window clears its box at every tick.
class ShownTexts : public QObject {
public:
    explicit ShownTexts(QLineEdit* box)
    {
        QObject::connect(box, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (!text.isEmpty())
                texts << text;
        });
    }
    QString last() const { return texts.isEmpty() ? QString() : texts.last(); }
    QStringList texts;
};

// Where a mode shows its outcomes.
struct ModeView {
    QTimer* timer = nullptr;
    QLineEdit* status = nullptr;
    QLineEdit* polls = nullptr;
    QLineEdit* valid = nullptr;
    QLineEdit* timeouts = nullptr;
    QWidget* tool = nullptr; // the tool window, none for the main window's own mode
};

struct Rig {
    test::SerialRtuMaster master;
    serial::QtByteLink link;
    test::FakePrompter prompter;
    std::unique_ptr<ScriptedRtuPeer> peer;
    QList<serial::PortChoice> ports;
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {}, {} } };

    ui::MainWindow& window() { return controller.window(); }
    Ui::ProtocolChoose& f() { return controller.window().form(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    bool connected() { return !window().entry("mnuConnect")->isEnabled(); }

    // A fresh device on a fresh line, as when an adapter is plugged in again.
    bool plugInPeer()
    {
        peer = std::make_unique<ScriptedRtuPeer>(kSlave);
        for (int i = 0; i < kRegisters; ++i)
            peer->registers << quint16(kValueBase + i);
        ports = { { peer->devicePath(), peer->devicePath(), false } };
        return peer->isValid();
    }
    void connect()
    {
        // The port window of an earlier Connect closes itself with a deferred delete.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        trigger("mnuConnect");
        Ui::PortSetup& p = controller.connection().portWindow()->form();
        p.cmbPortNum->setCurrentIndex(p.cmbPortNum->findText(peer->devicePath()));
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
    }
    template <typename T> T* tool() { return window().findChild<T*>(); }

    ModeView enter(const QString& mode)
    {
        trigger("mnuOrvix25");
        ui::MainWindow& w = window();
        if (mode == "Orvix Registers") {
            trigger("mnuOrvixRegisters");
            return { w.TimerModbusDataUpdate, f().ModBusErrorMessageLabel_TextBox,
                f().NumberOfPollsOneDeviceText, f().ValidSlaveResponsesOneDeviceText, f().ErrorModbus_TextBox,
                nullptr };
        }
        QWidget* tool = nullptr;
        QTimer* timer = nullptr;
        if (mode == "1 Device") {
            trigger("mnu1Device");
            tool = this->tool<ui::MultipleDevicesWindow>();
            timer = w.TimerForModbusDevices;
        } else {
            trigger("mnuRegistersTest");
            tool = this->tool<ui::RegistersTestWindow>();
            QTest::mouseClick(tool->findChild<QPushButton*>("PeriodicalRequestCommand"), Qt::LeftButton);
            timer = w.TimerSingleMultiRegisters;
        }
        auto box = [tool](const char* name) { return tool->findChild<QLineEdit*>(name); };
        return { timer, box("ModbusErrorMessageText"), box("NumberOfPollsText"),
            box("ValidSlaveResponsesText"), box("NumOfTimeoutText"), tool };
    }

    // Exit from the tool window, Disconnect if still connected, Connect, and the mode again.
    ModeView reconnect(const QString& mode, const ModeView& old)
    {
        if (old.tool && old.tool->isVisible())
            QTest::mouseClick(old.tool->findChild<QPushButton*>("ExitCommand"), Qt::LeftButton);
        if (connected())
            trigger("mnuDisConnect");
        connect();
        return enter(mode);
    }
};

} // namespace

class TstModbusLineFaults : public QObject {
    Q_OBJECT
private slots:
    void farEndMisbehaves_data();
    void farEndMisbehaves();
};

void TstModbusLineFaults::farEndMisbehaves_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("fault");
    for (const char* mode : { "Orvix Registers", "1 Device", "Registers Test" })
        for (const char* fault :
            { "closes mid-request", "floods garbage", "answers as another slave", "goes silent" })
            QTest::addRow("%s, %s", mode, fault) << QString::fromLatin1(mode) << QString::fromLatin1(fault);
}

void TstModbusLineFaults::farEndMisbehaves()
{
    QFETCH(QString, mode);
    QFETCH(QString, fault);
    Rig rig;
    QVERIFY(rig.plugInPeer());
    rig.connect();
    ModeView v = rig.enter(mode);
    QVERIFY(v.timer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(count(v.valid) >= 2, kGuardMs);
    QCOMPARE(v.status->text(), QString("No error"));

    LoopWatch watch;
    ShownTexts shown(v.status);
    if (fault == "closes mid-request") {
        // Heard, never answered: the line goes while the master waits for the answer.
        rig.peer->otherwise.silent = true;
        const qsizetype heard = rig.peer->requests.size();
        QTRY_VERIFY_WITH_TIMEOUT(rig.peer->requests.size() > heard, kGuardMs);
        QVERIFY(rig.master.busy());
        const int pollsBefore = count(v.polls);
        const int validBefore = count(v.valid);
        rig.peer->closeLine();
        QTRY_VERIFY_WITH_TIMEOUT(shown.last().startsWith("Serial line lost"), kGuardMs);
        // The request in flight is counted once, as failed.
        QTRY_COMPARE_WITH_TIMEOUT(count(v.polls), pollsBefore + 1, kGuardMs);
        QCOMPARE(count(v.valid), validBefore);
        QVERIFY(!v.timer->isActive());
        QVERIFY(!rig.master.portOpen());
        QVERIFY(!rig.connected());
        QCOMPARE(rig.f().ConnectionStatusText->text(), QString("Disonnect"));
        // Shown in the status box, and then nothing more happens on the dead line.
        const QStringList texts = shown.texts;
        const int polls = count(v.polls);
        watch.restart();
        QTRY_VERIFY_WITH_TIMEOUT(watch.probeTicks() >= kQuietTicks, kGuardMs);
        QCOMPARE(shown.texts, texts);
        QCOMPARE(v.status->text(), texts.last());
        QCOMPARE(count(v.polls), polls);
    } else {
        if (fault == "floods garbage") {
            rig.peer->otherwise.silent = true;
            rig.peer->startFlood();
        } else if (fault == "answers as another slave") {
            rig.peer->otherwise.slaveShift = 1;
        } else {
            rig.peer->otherwise.silent = true;
        }
        // A request already answered right may still be on its way; count from the first failure.
        QTRY_VERIFY_WITH_TIMEOUT(!shown.last().isEmpty() && shown.last() != "No error", kGuardMs);
        const int valid = count(v.valid);
        const int polls = count(v.polls);
        const int timeouts = count(v.timeouts);
        QTRY_VERIFY_WITH_TIMEOUT(count(v.polls) >= polls + kFailuresSeen, kGuardMs);
        QCOMPARE(count(v.valid), valid);
        QVERIFY(v.timer->isActive());
        QVERIFY(rig.connected());
        const QString last = shown.last();
        if (fault == "goes silent") {
            QVERIFY2(last.startsWith("Time-out: no response from slave 1"), qPrintable(last));
            QVERIFY(count(v.timeouts) >= timeouts + kFailuresSeen);
        } else if (fault == "answers as another slave") {
            QVERIFY2(last.contains("did not fit"), qPrintable(last));
            QVERIFY(count(v.timeouts) >= timeouts + kFailuresSeen);
        } else {
            QVERIFY2(last.startsWith("Time-out") || last.startsWith("Invalid response"), qPrintable(last));
            rig.peer->stopFlood();
        }
        rig.peer->otherwise = {};
    }
    QVERIFY2(watch.wakeupsPerSecond() < LoopWatch::kSpinWakeupsPerSecond, watch.describe());
    QVERIFY2(watch.longestGapMs() < kHangMs, watch.describe());
    QVERIFY(rig.prompter.messages.isEmpty());

    if (fault == "closes mid-request")
        QVERIFY(rig.plugInPeer());
    v = rig.reconnect(mode, v);
    QVERIFY(v.timer->isActive());
    const int valid = count(v.valid);
    QTRY_VERIFY_WITH_TIMEOUT(count(v.valid) >= valid + 2, kGuardMs);
    QTRY_COMPARE_WITH_TIMEOUT(v.status->text(), QString("No error"), kGuardMs);
}

QTEST_MAIN(TstModbusLineFaults)
#include "tst_modbus_line_faults.moc"
