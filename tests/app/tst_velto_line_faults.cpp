// The Velto protocol mode against a sensor that misbehaves, over a real pseudo-terminal with the real
// byte link: it closes the line mid-request, floods it with garbage, answers in another address's
// name, or goes silent. The failure shows in the sensor's status box, the readings already shown
// stay, the loop does not spin, and Disconnect and Connect bring the readings back.
#include "app/main_controller.h"
#include "serial/qt_byte_link.h"
#include "support/fake_prompter.h"
#include "support/loop_watch.h"
#include "support/scripted_velto_peer.h"
#include "support/serial_rtu_master.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"

#include <QLineEdit>
#include <QtTest>

#include <memory>

using namespace velto;
using test::LoopWatch;
using test::ScriptedVeltoPeer;

namespace {

constexpr int kAddress = 7;
// Ticks come faster than the mode's second so the test does not idle; the waits stay as they are.
constexpr int kTickMs = 250;
constexpr int kGuardMs = 20000;
constexpr qint64 kHangMs = 5000;
constexpr int kFaultyTicks = 3;
constexpr int kQuietTicks = 25;
const QString kNoResponse = QStringLiteral("No Response");

struct Rig {
    test::SerialRtuMaster master;
    serial::QtByteLink link;
    test::FakePrompter prompter;
    std::unique_ptr<ScriptedVeltoPeer> peer;
    QList<serial::PortChoice> ports;
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {}, {} } };

    ui::MainWindow& window() { return controller.window(); }
    Ui::ProtocolChoose& f() { return controller.window().form(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    bool connected() { return !window().entry("mnuConnect")->isEnabled(); }

    bool plugInPeer(qint32 distanceMm)
    {
        peer = std::make_unique<ScriptedVeltoPeer>(kAddress);
        peer->distanceMm = distanceMm;
        ports = { { peer->devicePath(), peer->devicePath(), false } };
        return peer->isValid();
    }
    void connect()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        trigger("mnuConnect");
        Ui::PortSetup& p = controller.connection().portWindow()->form();
        p.cmbPortNum->setCurrentIndex(p.cmbPortNum->findText(peer->devicePath()));
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
    }
    void enterVelto()
    {
        trigger("mnuOrvix25");
        trigger("mnuVeltoProtocol");
        f().TxtOrvixId->setText(QString::number(kAddress));
        window().TimerVeltoProtocol->setInterval(kTickMs);
    }
};

} // namespace

class TstVeltoLineFaults : public QObject {
    Q_OBJECT
private slots:
    void sensorMisbehaves_data();
    void sensorMisbehaves();
};

void TstVeltoLineFaults::sensorMisbehaves_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault :
        { "closes mid-request", "floods garbage", "answers in another address's name", "goes silent" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TstVeltoLineFaults::sensorMisbehaves()
{
    QFETCH(QString, fault);
    Rig rig;
    Ui::ProtocolChoose& f = rig.f();
    QVERIFY(rig.plugInPeer(1250));
    rig.connect();
    rig.enterVelto();
    QVERIFY(rig.window().TimerVeltoProtocol->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(f.TxtVeltoDist->text(), QString("1.25"), kGuardMs);
    QTRY_COMPARE_WITH_TIMEOUT(f.VeltoDevSta->text(), QString("O.K"), kGuardMs);

    LoopWatch watch;
    // Whatever arrives from now on must not reach the boxes.
    rig.peer->distanceMm = 3000;
    if (fault == "closes mid-request") {
        rig.peer->silent = true;
        const int heard = rig.peer->requestsHeard;
        QTRY_VERIFY_WITH_TIMEOUT(rig.peer->requestsHeard > heard, kGuardMs);
        rig.peer->closeLine();
        QTRY_VERIFY_WITH_TIMEOUT(f.VeltoDevSta->text().startsWith("Serial line lost"), kGuardMs);
        QVERIFY(!rig.window().TimerVeltoProtocol->isActive());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.connected());
        QCOMPARE(f.ConnectionStatusText->text(), QString("Disonnect"));
        const QString shown = f.VeltoDevSta->text();
        QSignalSpy changes(f.VeltoDevSta, &QLineEdit::textChanged);
        watch.restart();
        QTRY_VERIFY_WITH_TIMEOUT(watch.probeTicks() >= kQuietTicks, kGuardMs);
        QCOMPARE(changes.size(), 0);
        QCOMPARE(f.VeltoDevSta->text(), shown);
    } else {
        if (fault == "floods garbage") {
            rig.peer->silent = true;
            rig.peer->startFlood();
        } else if (fault == "answers in another address's name") {
            rig.peer->addressShift = 1;
        } else {
            rig.peer->silent = true;
        }
        QSignalSpy ticks(&rig.controller.veltoReadings().poller(), &veltoproto::VeltoPoller::tickFinished);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= kFaultyTicks, kGuardMs);
        // Nothing that was read is taken for an answer: the status box says no answer came.
        QTRY_COMPARE_WITH_TIMEOUT(f.VeltoDevSta->text(), kNoResponse, kGuardMs);
        QVERIFY(rig.window().TimerVeltoProtocol->isActive());
        QVERIFY(rig.connected());
        rig.peer->stopFlood();
        rig.peer->silent = false;
        rig.peer->addressShift = 0;
    }
    QCOMPARE(f.TxtVeltoDist->text(), QString("1.25"));
    QVERIFY2(watch.wakeupsPerSecond() < LoopWatch::kSpinWakeupsPerSecond, watch.describe());
    QVERIFY2(watch.longestGapMs() < kHangMs, watch.describe());
    QVERIFY(rig.prompter.messages.isEmpty());

    if (fault == "closes mid-request")
        QVERIFY(rig.plugInPeer(3000));
    if (rig.connected())
        rig.trigger("mnuDisConnect");
    rig.connect();
    rig.enterVelto();
    QTRY_COMPARE_WITH_TIMEOUT(f.TxtVeltoDist->text(), QString("3"), kGuardMs);
    QTRY_COMPARE_WITH_TIMEOUT(f.VeltoDevSta->text(), QString("O.K"), kGuardMs);
}

QTEST_MAIN(TstVeltoLineFaults)
#include "tst_velto_line_faults.moc"
