// The tool windows that use a serial line, against a far end that misbehaves over a real
// pseudo-terminal: it closes the line, floods it with garbage, or goes silent. Each window shows the
// failure its own way, keeps ticking, does not spin, and its Start (or Connect) brings it back.
#include "calibration/calibration_message.h"
#include "calibration/calibration_state.h"
#include "debugterm/debug_terminal.h"
#include "serial/qt_byte_link.h"
#include "support/fake_prompter.h"
#include "support/line_flood.h"
#include "support/loop_watch.h"
#include "support/pty_pair.h"
#include "ui/main_window.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui/taliq485_debug_window.h"
#include "ui_multi_sensor_calibration_window.h"
#include "ui_taliq485_debug_window.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
    ui::MainWindow main;
    test::FakePrompter prompter;
    calibration::CalibrationState state;
    ui::MultiSensorCalibrationWindow window { main, link, state, prompter };
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

} // namespace

class TstToolLineFaults : public QObject {
    Q_OBJECT
private slots:
    void debugTerminal_data();
    void debugTerminal();
    void calibration_data();
    void calibration();
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

QTEST_MAIN(TstToolLineFaults)
#include "tst_tool_line_faults.moc"
