// The tool windows that use a serial line, against a far end that misbehaves over a real
// pseudo-terminal: it closes the line, floods it with garbage, answers wrongly, or goes silent. Each
// window shows the failure its own way, keeps ticking, does not spin, and its Start (or Connect)
// brings it back; the traffic monitor, open meanwhile, shows the faulty line and stays bounded.
#include "app/main_controller.h"
#include "calibration/calibration_message.h"
#include "calibration/calibration_state.h"
#include "debugterm/debug_terminal.h"
#include "flash/flash_burner.h"
#include "flash/flash_result.h"
#include "flash/flash_texts.h"
#include "radar/measurement_sequence.h"
#include "radar/radar_controller.h"
#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"
#include "sim/intel_hex.h"
#include "support/fake_prompter.h"
#include "support/line_flood.h"
#include "support/loop_watch.h"
#include "support/pty_pair.h"
#include "support/scripted_flash_peer.h"
#include "support/scripted_radar_peer.h"
#include "support/serial_rtu_master.h"
#include "support/stand_in_converter.h"
#include "traffic/traffic_recorder.h"
#include "ui/flash_burning_window.h"
#include "ui/form_rendo.h"
#include "ui/main_window.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui/taliq485_debug_window.h"
#include "ui/traffic_monitor_window.h"
#include "ui/traffic_table_model.h"
#include "ui_flash_burning_window.h"
#include "ui_form_rendo.h"
#include "ui_multi_sensor_calibration_window.h"
#include "ui_port_setup_window.h"
#include "ui_taliq485_debug_window.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

using namespace velto;
using test::LoopWatch;

namespace {

constexpr int kGuardMs = 20000;
constexpr qint64 kHangMs = 5000;
constexpr int kQuietTicks = 25;
// Enough garbage to fill the fifty-line screen many times over.
constexpr qint64 kFloodBytes = 256 * 1024;
// The screen holds fifty lines; a line without an end is cut where the screen's bound falls.
constexpr int kScreenBlocksBound = 1000;
// About 200 KiB tried, some times what the link holds of unread input.
constexpr qint64 kFloodBursts = 400;

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct DebugRig {
    std::unique_ptr<test::PtyPair> line = std::make_unique<test::PtyPair>();
    serial::QtByteLink link;
    test::FakePrompter prompter;
    ui::Taliq485DebugWindow window { link, prompter, SystemClock::instance(),
        [this] {
            return ui::DebugPort { line->slavePath(), "9600,n,8,1" };
        },
        [](const QString&) {} };

    Ui::FormTaliq485Debug& f() { return window.form(); }
    debugterm::DebugTerminal& terminal() { return window.terminal(); }
    QString status() { return window.findChild<QLabel*>("DebugStatusText")->text(); }
};

struct CalibrationRig {
    std::unique_ptr<test::PtyPair> line = std::make_unique<test::PtyPair>();
    serial::QtByteLink link;
    test::FakePrompter prompter;
    calibration::CalibrationState state;
    ui::MultiSensorCalibrationWindow window { link, state, prompter, {} };
    QByteArray heard;

    Ui::FormMultiSensorCalibration& f() { return window.form(); }
    bool open()
    {
        heard.clear();
        return link.open(line->slavePath(), "9600,n,8,1");
    }
    // Whether the far end has the message by now, among everything the program sent.
    bool farEndHas(const QByteArray& message)
    {
        heard += line->readMasterNow();
        return heard.contains(message);
    }
};

// The radar window opened from the main window on a real, tapped byte link, with a scripted radar on
// the far side of the line and the traffic monitor watching.
struct RadarRig {
    using Answer = test::ScriptedRadarPeer::Answer;
    // The replies' waits: patient where an answer is due, so a starved machine cannot turn a late
    // answer into "No Response" (the peer answers from this same event loop); short where silence
    // is the point. A spectrum takes 0.4 s at 115200.
    static constexpr radar::RadarController::ReplyWindows kWindows { 1500, 4000, 8000 };
    static constexpr radar::RadarController::ReplyWindows kSilenceWindows { 250, 2000, 5000 };

    test::SerialRtuMaster master;
    serial::QtByteLink port;
    serial::TappedByteLink link { port };
    test::FakePrompter prompter;
    std::unique_ptr<test::ScriptedRadarPeer> peer;
    QList<serial::PortChoice> ports;
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {}, {} } };
    QPointer<ui::FormRendo> radarWindow;

    ui::MainWindow& window() { return controller.window(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    bool connected() { return !window().entry("mnuConnect")->isEnabled(); }
    Ui::FormRendo& f() { return radarWindow->form(); }
    QString log() { return f().TextTerminaTextBox->toPlainText(); }

    bool plugInPeer()
    {
        peer = std::make_unique<test::ScriptedRadarPeer>();
        ports = { { peer->devicePath(), peer->devicePath(), false } };
        return peer->isValid();
    }
    void connect()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        trigger("mnuConnect");
        Ui::PortSetup& p = controller.connection().portWindow()->form();
        p.cmbPortNum->setCurrentIndex(p.cmbPortNum->findText(peer->devicePath()));
        p.cmbBPS->setCurrentIndex(p.cmbBPS->findText("115200"));
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
    }
    bool openRadar()
    {
        trigger("mnuOperation");
        radarWindow = window().findChild<ui::FormRendo*>(QStringLiteral("FormRendo"));
        if (!radarWindow)
            return false;
        radarWindow->controller().setReplyWindows(kWindows);
        return true;
    }
    void exitRadar()
    {
        QTest::mouseClick(f().ExitCommand, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // One command by hand; true once its reply has been judged for good.
    bool judge(QPushButton* button, radar::JudgedReply* out = nullptr)
    {
        QSignalSpy judged(&radarWindow->controller(), &radar::RadarController::replyJudged);
        QTest::mouseClick(button, Qt::LeftButton);
        while (judged.wait(kGuardMs)) {
            const auto reply = judged.last().at(0).value<radar::JudgedReply>();
            if (!reply.incomplete) {
                if (out)
                    *out = reply;
                return true;
            }
        }
        return false;
    }
    ui::TrafficMonitorWindow* monitor()
    {
        return qobject_cast<ui::TrafficMonitorWindow*>(controller.tools().trafficMonitor());
    }
    // Failure rows of the radar's protocol the monitor holds, once its batch tick has run.
    int radarFailures(ui::TrafficMonitorWindow* w)
    {
        w->TimerTrafficBatch_Timer();
        int n = 0;
        const traffic::RowRing& ring = w->rows().rows();
        for (qsizetype i = 0; i < ring.size(); ++i)
            n += ring.at(i).failure;
        return n;
    }
};

// The flash burning window on a real byte link, the bootloader on the far side of the line.
struct FlashRig {
    static constexpr int kHexLines = 20;
    static constexpr int kRetryQuietMs = 200;
    QTemporaryDir dir;
    std::unique_ptr<test::ScriptedFlashPeer> peer = std::make_unique<test::ScriptedFlashPeer>();
    serial::QtByteLink link;
    test::FakePrompter prompter;
    ui::FlashBurningWindow window;

    // answerLimitMs: patient where answers are expected, short where silence is.
    explicit FlashRig(int answerLimitMs)
        : window(link, prompter, true, test::writeStandInConverter(dir.path()), timings(answerLimitMs))
    {
        window.show();
    }
    static flash::FlashTimings timings(int answerLimitMs)
    {
        flash::FlashTimings t;
        t.answerLimitMs = answerLimitMs;
        t.commandPauseMs = 0;
        t.slowWritePauseMs = 0;
        t.finishPauseMs = 0;
        t.retryQuietMs = kRetryQuietMs;
        return t;
    }
    Ui::FormFlashburning& f() { return window.form(); }
    bool open() { return link.open(peer->devicePath(), "115200,n,8,1"); }
    QString status() { return f().FlashBurningStatusText->text(); }
    int heard() { return peer->device.commandsReceived() + peer->device.recordsReceived(); }
    QList<QByteArray> lines() const
    {
        QList<QByteArray> out = sim::sampleHexFile(kHexLines).split('\n');
        out.removeAll(QByteArray());
        for (QByteArray& line : out)
            line = line.trimmed();
        return out;
    }
    // The records the device took, a line taken twice in a row (sent again after a lost answer)
    // counted once.
    QList<QByteArray> recordsTaken() const
    {
        QList<QByteArray> out;
        for (const QByteArray& r : peer->device.records()) {
            if (out.isEmpty() || out.last() != r)
                out << r;
        }
        return out;
    }
    // What a burn must guarantee however the line behaves: success only with every line accepted.
    bool endedSoundly(const flash::FlashResult& result)
    {
        if (!result.accepted)
            return status() != flash::kBurnSucceededText
                && (status().startsWith(flash::kRetryFourTimesText)
                    || status().startsWith(flash::kOutOfStepText));
        return status() == flash::kBurnSucceededText && recordsTaken() == lines();
    }
    // Lets what the line still carries from a fault arrive and go, until it has been quiet a while.
    bool drainUntilQuiet()
    {
        QSignalSpy arrived(&link, &serial::ByteLink::readyRead);
        QElapsedTimer guard;
        guard.start();
        while (arrived.wait(kDrainQuietMs)) {
            link.readAll();
            arrived.clear();
            if (guard.elapsed() > kGuardMs)
                return false;
        }
        link.readAll();
        return true;
    }
    static constexpr int kDrainQuietMs = 300;
    bool browseFirmware()
    {
        QFile file(dir.filePath("firmware.hex"));
        if (!file.open(QIODevice::WriteOnly) || file.write(sim::sampleHexFile(kHexLines)) < 0)
            return false;
        file.close();
        prompter.fileAnswers.enqueue(file.fileName());
        QTest::mouseClick(f().BrowseCommand, Qt::LeftButton);
        return f().SendHEXFileCommand->isEnabled();
    }
    // Start Burning; the burn's result once it has ended.
    std::optional<flash::FlashResult> burn()
    {
        QSignalSpy finished(&window.burner(), &flash::FlashBurner::finished);
        QTest::mouseClick(f().SendHEXFileCommand, Qt::LeftButton);
        if (!finished.wait(kGuardMs * 3))
            return std::nullopt;
        return finished.first().first().value<flash::FlashResult>();
    }
};

} // namespace

class TstToolLineFaults : public QObject {
    Q_OBJECT
private slots:
    void debugTerminal_data();
    void debugTerminal();
    void calibration_data();
    void calibration();
    void radar_data();
    void radar();
    void flashBurning_data();
    void flashBurning();
};

void TstToolLineFaults::debugTerminal_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "closes the line", "floods garbage", "goes silent" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TstToolLineFaults::debugTerminal()
{
    QFETCH(QString, fault);
    DebugRig rig;
    QVERIFY(rig.line->isValid());
    QTemporaryDir dir;
    const QString capture = dir.filePath("capture.txt");
    rig.prompter.fileAnswers.enqueue(capture);
    rig.f().mnuOpen->trigger();
    rig.f().mnuStart->trigger();
    QVERIFY(rig.terminal().isRunning());
    QVERIFY(rig.line->writeMaster("D 1834 P 3 S 0\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.terminal().linesReceived(), 1, kGuardMs);

    LoopWatch watch;
    if (fault == "closes the line") {
        rig.line->closeKeeper();
        rig.line->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages.size(), 1, kGuardMs);
        QVERIFY(rig.prompter.lastText().startsWith("Listening stopped: "));
        QVERIFY(!rig.terminal().isRunning());
        QVERIFY(rig.f().mnuStart->isEnabled());
        QCOMPARE(rig.status().left(7), QString("Stopped"));
        watch.restart();
        QTRY_VERIFY_WITH_TIMEOUT(watch.probeTicks() >= kQuietTicks, kGuardMs);
        QCOMPARE(rig.prompter.messages.size(), 1);
    } else if (fault == "floods garbage") {
        test::LineFlood flood(rig.line->masterFd());
        flood.start();
        QTRY_VERIFY_WITH_TIMEOUT(flood.bytesSent() >= kFloodBytes, kGuardMs * 3);
        flood.stop();
        const qint64 sent = flood.bytesSent() + qint64(qstrlen("D 1834 P 3 S 0\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.terminal().bytesReceived(), sent, kGuardMs);
        // Every byte reached the file; the screen stayed bounded.
        QVERIFY(rig.terminal().isCapturing());
        QVERIFY(QFile(capture).size() >= sent);
        rig.terminal().flushScreen();
        QVERIFY(rig.f().DebugWindowText->blockCount() <= kScreenBlocksBound);
        QVERIFY(rig.prompter.messages.isEmpty());
    } else {
        const qint64 before = rig.terminal().bytesReceived();
        watch.restart();
        QTRY_VERIFY_WITH_TIMEOUT(watch.probeTicks() >= kQuietTicks, kGuardMs);
        QCOMPARE(rig.terminal().bytesReceived(), before);
        QVERIFY(rig.terminal().isRunning());
        QVERIFY(rig.status().startsWith("Listening on"));
    }
    QVERIFY2(watch.wakeupsPerSecond() < LoopWatch::kSpinWakeupsPerSecond, watch.describe());
    QVERIFY2(watch.longestGapMs() < kHangMs, watch.describe());

    // Stop and Start bring the terminal back, on a fresh line where the old one went.
    if (fault == "closes the line")
        rig.line = std::make_unique<test::PtyPair>();
    rig.f().mnuStop->trigger();
    rig.f().mnuClearScreen->trigger();
    rig.f().mnuStart->trigger();
    QVERIFY(rig.terminal().isRunning());
    const qint64 lines = rig.terminal().linesReceived();
    QVERIFY(rig.line->writeMaster("\r\nD 1900 P 3 S 0\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.terminal().linesReceived() >= lines + 2, kGuardMs);
    rig.terminal().flushScreen();
    QVERIFY(rig.f().DebugWindowText->toPlainText().contains("D 1900 P 3 S 0"));
    rig.f().mnuClose->trigger();
    if (fault != "closes the line")
        QVERIFY(fileBytes(capture).contains("D 1900 P 3 S 0"));
}

// The calibration window only sends; it never reads the line.
void TstToolLineFaults::calibration_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "closes the line", "floods garbage" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TstToolLineFaults::calibration()
{
    QFETCH(QString, fault);
    CalibrationRig rig;
    QVERIFY(rig.line->isValid());
    QVERIFY(rig.open());
    rig.window.show();
    rig.window.Form_Load(true);
    rig.f().RelayNo1Check->click();
    QTRY_VERIFY_WITH_TIMEOUT(rig.farEndHas(calibration::relayMessage(1, true)), kGuardMs);

    LoopWatch watch;
    if (fault == "closes the line") {
        rig.line->closeKeeper();
        rig.line->closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link.isOpen(), kGuardMs);
        rig.f().RelayNo2Check->click();
        QCOMPARE(rig.prompter.messages.size(), 1);
        QVERIFY2(rig.prompter.lastText().startsWith("The calibration message "),
            qPrintable(rig.prompter.lastText()));
        QVERIFY(rig.prompter.lastText().contains("was not sent"));
        QVERIFY(!rig.state.relay(2));
        watch.restart();
        QTRY_VERIFY_WITH_TIMEOUT(watch.probeTicks() >= kQuietTicks, kGuardMs);
        QCOMPARE(rig.prompter.messages.size(), 1);
    } else {
        // Nobody reads what the unit says: what the link holds stays bounded, and messages still go.
        test::LineFlood flood(rig.line->masterFd());
        flood.start();
        QTRY_VERIFY_WITH_TIMEOUT(flood.bursts() >= kFloodBursts, kGuardMs * 3);
        flood.stop();
        QVERIFY2(rig.link.bytesAvailable() <= serial::QtByteLink::kInputBufferBytes,
            qPrintable(QString::number(rig.link.bytesAvailable())));
        rig.f().RelayNo2Check->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.farEndHas(calibration::relayMessage(2, true)), kGuardMs);
        QVERIFY(rig.state.relay(2));
        QVERIFY(rig.prompter.messages.isEmpty());
    }
    QVERIFY2(watch.wakeupsPerSecond() < LoopWatch::kSpinWakeupsPerSecond, watch.describe());
    QVERIFY2(watch.longestGapMs() < kHangMs, watch.describe());

    // A line opened again takes the messages again.
    if (fault == "closes the line")
        rig.line = std::make_unique<test::PtyPair>();
    QVERIFY(rig.open());
    rig.f().RelayNo3Check->click();
    QTRY_VERIFY_WITH_TIMEOUT(rig.farEndHas(calibration::relayMessage(3, true)), kGuardMs);
}

void TstToolLineFaults::radar_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "closes mid-request", "floods garbage", "answers another command",
             "answers another block", "goes silent" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TstToolLineFaults::radar()
{
    QFETCH(QString, fault);
    using Answer = RadarRig::Answer;
    RadarRig rig;
    QVERIFY(rig.plugInPeer());
    rig.connect();
    QVERIFY(rig.connected());
    QVERIFY(rig.openRadar());
    ui::TrafficMonitorWindow* monitor = rig.monitor();
    QVERIFY(monitor);
    QVERIFY(rig.judge(rig.f().SendStatus));
    const QString distance = rig.f().DistanceOrLevelText->text();
    QVERIFY2(distance != "N/A", qPrintable(rig.log()));
    const int failuresBefore = rig.radarFailures(monitor);
    // StandBy clears the distance shown; nothing else may change it.
    const bool standBySent
        = fault == "closes mid-request" || fault == "answers another command" || fault == "goes silent";

    LoopWatch watch;
    if (fault == "closes mid-request") {
        rig.peer->answer = Answer::Silent;
        QSignalSpy heard(rig.peer.get(), &test::ScriptedRadarPeer::requestHeard);
        QTest::mouseClick(rig.f().StartOrStopMeasCommand, Qt::LeftButton);
        QVERIFY(rig.radarWindow->sequence().running());
        QVERIFY(heard.wait(kGuardMs));
        rig.peer->closeLine();
        // The window says the line is gone, stops its run and offers no command on a dead line.
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().startsWith("Serial line lost"), kGuardMs);
        QVERIFY(!rig.radarWindow->sequence().running());
        QCOMPARE(rig.f().StatusText->text(), QString("Wait for Start"));
        for (QWidget* button : std::initializer_list<QWidget*> { rig.f().Standby, rig.f().SendStatus,
                 rig.f().MonitoringCommand, rig.f().StartOrStopMeasCommand })
            QVERIFY(!button->isEnabled());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.connected());
        QVERIFY(!rig.radarWindow->controller().link().timerRx()->isActive());
        const QString shown = rig.log();
        watch.restart();
        QTRY_VERIFY_WITH_TIMEOUT(watch.probeTicks() >= kQuietTicks, kGuardMs);
        QCOMPARE(rig.log(), shown);
    } else if (fault == "floods garbage") {
        rig.peer->answer = Answer::Silent;
        rig.peer->startFlood();
        for (int i = 0; i < 3; ++i) {
            radar::JudgedReply judged;
            QVERIFY(rig.judge(rig.f().SendStatus, &judged));
            // Random bytes hold a header now and then, never one whose checksum vouches for it.
            QVERIFY2(!judged.accepted, qPrintable(rig.log()));
            QVERIFY2(rig.log() == "Incorrect Send Status Header" || rig.log() == "Incorrect Checksum",
                qPrintable(rig.log()));
        }
        rig.peer->stopFlood();
        // What the monitor holds stays within its bound.
        monitor->TimerTrafficBatch_Timer();
        QVERIFY(monitor->rows().rows().size() <= monitor->rows().rows().capacity());
    } else if (fault == "answers another command") {
        rig.peer->answer = Answer::AnotherCommand;
        QVERIFY(rig.judge(rig.f().SendStatus));
        QCOMPARE(rig.log(), QString("Incorrect Send Status Header"));
        QVERIFY(rig.judge(rig.f().Standby));
        QCOMPARE(rig.log(), QString("Incorrect Standby Header"));
        // A monitoring request answered with a status reply is too short to be one.
        rig.f().SpectrumCheck->click();
        QVERIFY(rig.judge(rig.f().MonitoringCommand));
        QVERIFY2(rig.log().startsWith("Receive Buffer Length Too Short"), qPrintable(rig.log()));
        QTRY_VERIFY_WITH_TIMEOUT(rig.radarFailures(monitor) >= failuresBefore + 2, kGuardMs);
    } else if (fault == "answers another block") {
        rig.peer->answer = Answer::AnotherBlock;
        rig.f().SpectrumCheck->click();
        rig.f().OpenMonitoringFileCheck->click(); // nothing to save from a refused reply anyway
        radar::JudgedReply judged;
        QVERIFY(rig.judge(rig.f().MonitoringCommand, &judged));
        QVERIFY(!judged.accepted);
        QCOMPARE(rig.log(), QString("Incorrect Header Block Number 10"));
        QCOMPARE(rig.f().StatusText->text(), QString("Calculating Data"));
    } else {
        rig.peer->answer = Answer::Silent;
        rig.radarWindow->controller().setReplyWindows(RadarRig::kSilenceWindows);
        QVERIFY(rig.judge(rig.f().SendStatus));
        QCOMPARE(rig.log(), QString("No Response"));
        // The run sends its StandBy again and again, unhurried, until Stop.
        QTest::mouseClick(rig.f().StartOrStopMeasCommand, Qt::LeftButton);
        const int heard = rig.peer->requestsHeard;
        QTRY_VERIFY_WITH_TIMEOUT(rig.peer->requestsHeard >= heard + 3, kGuardMs);
        QCOMPARE(rig.peer->lastCode, quint8(0x05));
        QCOMPARE(rig.f().StatusText->text(), QString("Perform Measurments"));
        QTest::mouseClick(rig.f().StartOrStopMeasCommand, Qt::LeftButton);
        QVERIFY(!rig.radarWindow->sequence().running());
        QVERIFY(!rig.radarWindow->controller().link().timerRx()->isActive());
        QCOMPARE(rig.f().StatusText->text(), QString("Wait for Start"));
    }
    // Nothing that was read was taken for a distance.
    QCOMPARE(rig.f().DistanceOrLevelText->text(), standBySent ? QString("N/A") : distance);
    QVERIFY2(watch.wakeupsPerSecond() < LoopWatch::kSpinWakeupsPerSecond, watch.describe());
    QVERIFY2(watch.longestGapMs() < kHangMs, watch.describe());
    QVERIFY(rig.prompter.messages.isEmpty());

    // Exit, Disconnect and Connect, Operation: the radar answers again.
    rig.peer->stopFlood();
    if (fault == "closes mid-request")
        QVERIFY(rig.plugInPeer());
    rig.peer->answer = Answer::Right;
    rig.exitRadar();
    if (rig.connected())
        rig.trigger("mnuDisConnect");
    rig.connect();
    QVERIFY(rig.openRadar());
    radar::JudgedReply judged;
    QVERIFY(rig.judge(rig.f().SendStatus, &judged));
    QVERIFY2(judged.accepted, qPrintable(rig.log()));
    QVERIFY(rig.f().DistanceOrLevelText->text() != "N/A");
}

void TstToolLineFaults::flashBurning_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault :
        { "closes mid-request", "floods garbage", "answers a wrong byte", "goes silent" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TstToolLineFaults::flashBurning()
{
    QFETCH(QString, fault);
    constexpr int kPatientMs = 5000;
    constexpr int kSilenceMs = 300;
    constexpr quint8 kUnknownCode = 0x55;
    FlashRig rig(fault == "goes silent" ? kSilenceMs : kPatientMs);
    QVERIFY(rig.peer->isValid());
    QVERIFY(rig.open());
    QVERIFY(rig.browseFirmware());

    LoopWatch watch;
    std::optional<flash::FlashResult> result;
    if (fault == "closes mid-request") {
        rig.peer->silent = true;
        QSignalSpy finished(&rig.window.burner(), &flash::FlashBurner::finished);
        QTest::mouseClick(rig.f().SendHEXFileCommand, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.heard() >= 1, kGuardMs);
        rig.peer->closeLine();
        QVERIFY(finished.wait(kGuardMs));
        QVERIFY(!finished.first().first().value<flash::FlashResult>().accepted);
        QCOMPARE(rig.prompter.texts(), QStringList { "Flash Burning Error Occurs" });
        QVERIFY(!rig.status().isEmpty());
        QVERIFY(!rig.link.isOpen());
        const QString shown = rig.status();
        watch.restart();
        QTRY_VERIFY_WITH_TIMEOUT(watch.probeTicks() >= kQuietTicks, kGuardMs);
        QCOMPARE(rig.status(), shown);
        QCOMPARE(rig.prompter.messages.size(), 1);
    } else {
        if (fault == "floods garbage") {
            rig.peer->silent = true;
            rig.peer->startFlood();
        } else if (fault == "answers a wrong byte") {
            // The first record's every try is answered with a code the bootloader does not have.
            rig.peer->device.forcedLineCodes = { kUnknownCode, kUnknownCode, kUnknownCode, kUnknownCode };
        } else {
            rig.peer->silent = true;
        }
        result = rig.burn();
        QVERIFY(result);
        // However the flood falls, the burn fails, or succeeds only with every line accepted.
        QVERIFY2(rig.endedSoundly(*result), qPrintable(rig.status()));
        if (fault == "floods garbage") {
            QVERIFY2(!result->accepted, qPrintable(rig.status()));
        } else {
            QVERIFY(!result->accepted);
            QVERIFY2(rig.status().startsWith(flash::kRetryFourTimesText), qPrintable(rig.status()));
            QVERIFY2(rig.status().contains(
                         fault == "goes silent" ? ">B0, no answer" : "line 1 of 20, answer 3A 55"),
                qPrintable(rig.status()));
        }
        QVERIFY(rig.prompter.messages.isEmpty());
        if (fault == "answers a wrong byte") {
            QStringList marks;
            rig.window.flushTranscript();
            for (const QString& line : rig.f().DebugText->toPlainText().split('\n'))
                if (line.startsWith(':') && line.size() < 10)
                    marks << line.trimmed();
            QCOMPARE(marks, QStringList(4, ":UNKNOWN"));
            QCOMPARE(rig.peer->device.records().size(), 0);
        }
        rig.peer->stopFlood();
    }
    // The window is ready for the next burn.
    QVERIFY(rig.f().BrowseCommand->isEnabled());
    QVERIFY(rig.f().SendHEXFileCommand->isEnabled());
    QVERIFY(rig.f().EraseCheckBox->isEnabled());
    QVERIFY2(watch.wakeupsPerSecond() < LoopWatch::kSpinWakeupsPerSecond, watch.describe());
    QVERIFY2(watch.longestGapMs() < kHangMs, watch.describe());

    // A line opened again, a bootloader that answers: the same file burns whole.
    if (fault == "closes mid-request")
        rig.peer = std::make_unique<test::ScriptedFlashPeer>();
    rig.peer->silent = false;
    rig.link.close();
    QVERIFY(rig.open());
    // A flood still in the pseudo-terminal's buffers may reach the port after it was opened anew.
    QVERIFY(rig.drainUntilQuiet());
    rig.prompter.messages.clear();
    if (fault == "goes silent")
        return; // its answers would have to come within the short limit on a busy machine
    result = rig.burn();
    QVERIFY(result);
    QVERIFY2(result->accepted, qPrintable(rig.status()));
    QVERIFY2(rig.endedSoundly(*result), qPrintable(rig.status()));
}

QTEST_MAIN(TstToolLineFaults)
#include "tst_tool_line_faults.moc"
