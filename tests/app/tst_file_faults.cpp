// The writers' files in a folder the user may not write to, chosen there or made read-only mid-run,
// as an unprivileged user sees it: the writer's own message, nothing half written, and the polling
// or listening around it goes on. (Deleted files, a folder in the file's place and a full disk are
// tested with each writer, and here for the radar's monitoring files and the traffic monitor's Save.)
#include "app/main_controller.h"
#include "debuglog/parsing_run.h"
#include "debugterm/debug_terminal.h"
#include "flash/flash_burner.h"
#include "flash/flash_result.h"
#include "radar/measurement_sequence.h"
#include "radar/radar_controller.h"
#include "sim/intel_hex.h"
#include "sim/manual_clock.h"
#include "sim/radar_responder.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "support/full_device.h"
#include "support/simulator_link.h"
#include "support/stand_in_converter.h"
#include "support/unprivileged_files.h"
#include "traffic/session_reader.h"
#include "traffic/traffic_recorder.h"
#include "ui/flash_burning_window.h"
#include "ui/form_rendo.h"
#include "ui/parsing_window.h"
#include "ui/taliq485_debug_window.h"
#include "ui/traffic_monitor_window.h"
#include "ui_flash_burning_window.h"
#include "ui_form_rendo.h"
#include "ui_main_window.h"
#include "ui_parsing_window.h"
#include "ui_port_setup_window.h"
#include "ui_taliq485_debug_window.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <sys/stat.h>

using namespace velto;

namespace {

constexpr int kGuardMs = 10000;
const QString kCreateFileError = QStringLiteral("An error has occurd");
const QString kTitleModbusError = QStringLiteral("an error has occurd on WriteTitleModBus");
const QString kEnterDataError = QStringLiteral("an error has occurd on EnterDataToFile");

constexpr auto kReadOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
constexpr auto kWritableByAll
    = kReadOnly | QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;

// A temporary folder the unprivileged user can reach, with one sub-folder in it.
struct Folders {
    QTemporaryDir root;
    QString sub;

    explicit Folders(QFileDevice::Permissions subPermissions)
        : sub(root.filePath("data"))
    {
        test::UnprivilegedFiles::openToAll(root.path());
        QDir().mkdir(sub);
        QFile::setPermissions(sub, subPermissions);
    }
    ~Folders() { QFile::setPermissions(sub, kWritableByAll); }
    QString file(const char* name) const { return QDir(sub).filePath(QString::fromLatin1(name)); }
};

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The main window polling the Modbus sensor of a fake master, its log panel open.
struct MainRig {
    test::FakeModbusMaster master;
    test::FakeByteLink link;
    test::FakePrompter prompter;
    QList<serial::PortChoice> ports { { "/dev/ttyFAKE0", "/dev/ttyFAKE0", false } };
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {}, {} } };

    ui::MainWindow& window() { return controller.window(); }
    Ui::ProtocolChoose& f() { return controller.window().form(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }
    void pollAndOpenLog(const QString& path)
    {
        trigger("mnuConnect");
        QTest::mouseClick(controller.connection().portWindow()->form().btnOKPortSetUp, Qt::LeftButton);
        trigger("mnuOrvix25");
        trigger("mnuOrvixRegisters");
        prompter.fileAnswers.enqueue(path);
        trigger("mnuLog");
        QTest::mouseClick(f().OpenFile, Qt::LeftButton);
    }
    qsizetype polls() const { return master.requests.size(); }
};

// The radar window's four-line message after a monitoring file failed.
const QString kMonitoringFileError = QStringLiteral("One of following errors occurred:\r\n"
                                                    "  1.  Problem to open/write\u2026 file.\r\n"
                                                    "  2.  There is no file name in 'File Name' field.\r\n"
                                                    "  3.  Change file name before click 'Stop' button.");

// The radar window on a fake line whose simulated radar answers every command at once.
struct RadarRig {
    static constexpr radar::RadarController::ReplyWindows kFastWindows { 20, 40, 60 };
    test::FakeByteLink link;
    test::FakePrompter prompter;
    sim::RadarResponder sensor;
    ui::FormRendo window { link, prompter };
    QTimer& timerRx = *window.controller().link().timerRx();

    RadarRig()
    {
        link.opened = true;
        window.setConnected(true);
        window.controller().setReplyWindows(kFastWindows);
        window.sequence().setPacing({ 0, 0 });
        QObject::connect(&window.controller(), &radar::RadarController::commandSent, &window, [this] {
            const QByteArray frame = link.written.last();
            QTimer::singleShot(0, &window, [this, frame] {
                for (const sim::RadarReply& r : sensor.respond(frame, 0))
                    link.receive(r.bytes);
            });
        });
    }
    Ui::FormRendo& f() { return window.form(); }
    // A counted run of one measurement and the spectrum, into `path`; true when it completed.
    bool run(QPushButton* button, const QString& path)
    {
        f().FileNameText->setText(path);
        window.controller().inputs().numOfAutomeasurement = 1;
        if (!f().SpectrumCheck->isChecked())
            f().SpectrumCheck->click();
        QSignalSpy ended(&window.sequence(), &radar::MeasurementSequence::ended);
        QTest::mouseClick(button, Qt::LeftButton);
        return ended.wait(kGuardMs) && ended.last().at(0).toBool();
    }
};

// Folders beside the file's: only the file itself, no temporary left behind.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TstFileFaults : public QObject {
    Q_OBJECT
private slots:
    void readingsLogChosenInAReadOnlyFolder();
    void readingsLogFolderMadeReadOnlyMidRun();
    void captureFileChosenInAReadOnlyFolder();
    void radarMonitoringFileFails_data();
    void radarMonitoringFileFails();
    void trafficSaveFails_data();
    void trafficSaveFails();
    void hexFileFails_data();
    void hexFileFails();
    void workbooksFail_data();
    void workbooksFail();
};

void TstFileFaults::readingsLogChosenInAReadOnlyFolder()
{
    Folders folders(kReadOnly);
    const QString path = folders.file("readings.csv");
    MainRig rig;
    test::UnprivilegedFiles asUser;
    if (!asUser.active())
        QSKIP(qPrintable(asUser.whyNot()));
    rig.pollAndOpenLog(path);
    QCOMPARE(rig.prompter.texts(), QStringList({ kCreateFileError, kTitleModbusError }));
    QVERIFY(!QFile::exists(path));

    // Every tick says so again; the polling goes on beside it.
    rig.f().RateTime->setText("0.05");
    const qsizetype polls = rig.polls();
    QTRY_VERIFY_WITH_TIMEOUT(rig.prompter.messages.size() >= 4 && rig.polls() > polls + 1, kGuardMs);
    for (const QString& text : rig.prompter.texts().mid(2))
        QCOMPARE(text, kEnterDataError);
    QVERIFY(rig.window().TimerModbusDataUpdate->isActive());
    QVERIFY(rig.controller.logPanel().logger().isLogging());
    QCOMPARE(rig.f().MSFlexGrid1->rowCount(), 0);
    QVERIFY(!QFile::exists(path));
}

void TstFileFaults::readingsLogFolderMadeReadOnlyMidRun()
{
    Folders folders(kWritableByAll);
    const QString path = folders.file("readings.csv");
    MainRig rig;
    std::optional<test::UnprivilegedFiles> asUser(std::in_place);
    if (!asUser->active())
        QSKIP(qPrintable(asUser->whyNot()));
    rig.pollAndOpenLog(path);
    rig.f().RateTime->setText("0.05");
    QTRY_VERIFY_WITH_TIMEOUT(rig.f().MSFlexGrid1->rowCount() >= 2, kGuardMs);

    // The folder's owner takes its write right away; the log, already there, is still the user's.
    asUser.reset();
    QVERIFY(QFile::setPermissions(folders.sub, kReadOnly));
    asUser.emplace();
    const int rows = rig.f().MSFlexGrid1->rowCount();
    QTRY_VERIFY_WITH_TIMEOUT(rig.f().MSFlexGrid1->rowCount() >= rows + 2, kGuardMs);
    QTest::mouseClick(rig.f().CloseFile, Qt::LeftButton);
    QVERIFY(rig.prompter.messages.isEmpty());

    const QList<QByteArray> lines = contents(path).split('\n');
    QCOMPARE(lines.last(), QByteArray()); // the last line is whole
    QCOMPARE(lines.size() - 2, rig.f().MSFlexGrid1->rowCount()); // the title, then one line per row
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        QVERIFY2(lines.at(i).endsWith('\r'), lines.at(i).constData());
}

void TstFileFaults::captureFileChosenInAReadOnlyFolder()
{
    Folders folders(kReadOnly);
    const QString path = folders.file("capture.txt");
    test::FakeByteLink link;
    test::FakePrompter prompter;
    sim::ManualClock clock;
    ui::Taliq485DebugWindow window(
        link, prompter, clock,
        [] {
            return ui::DebugPort { "/dev/ttyDEBUG", "19200,n,8,1" };
        },
        [](const QString&) {});
    test::UnprivilegedFiles asUser;
    if (!asUser.active())
        QSKIP(qPrintable(asUser.whyNot()));
    window.form().mnuStart->trigger();
    QVERIFY(window.terminal().isRunning());

    prompter.fileAnswers.enqueue(path);
    window.form().mnuOpen->trigger();
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY2(
        prompter.lastText().startsWith(
            QStringLiteral("The capture file %1 could not be created").arg(QDir::toNativeSeparators(path))),
        qPrintable(prompter.lastText()));
    QVERIFY(!window.terminal().isCapturing());
    QVERIFY(!QFile::exists(path));

    // Listening goes on.
    link.receive("level 1200\r\n");
    window.terminal().flushScreen();
    QVERIFY(window.form().DebugWindowText->toPlainText().contains("level 1200"));
    QVERIFY(window.terminal().isRunning());
}

void TstFileFaults::radarMonitoringFileFails_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "full disk", "folder in its place", "read-only folder", "deleted mid-run" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TstFileFaults::radarMonitoringFileFails()
{
    QFETCH(QString, fault);
    Folders folders(fault == "read-only folder" ? kReadOnly : kWritableByAll);
    QString path = folders.file("run.txt");
    RadarRig rig;
    rig.window.setMonitoringFolder(folders.sub + QLatin1Char('/'));
    std::optional<test::UnprivilegedFiles> asUser;
    if (fault == "full disk") {
        path = test::fullDeviceIn(folders.sub);
        QVERIFY(!path.isEmpty());
    } else if (fault == "folder in its place") {
        QVERIFY(QDir().mkdir(path));
    } else if (fault == "read-only folder") {
        asUser.emplace();
        if (!asUser->active())
            QSKIP(qPrintable(asUser->whyNot()));
    } else {
        QVERIFY(rig.run(rig.f().StartOrStopMeasCommand, path));
        QVERIFY(contents(path).endsWith("\r\n"));
        QVERIFY(QFile::remove(path));
        QVERIFY(rig.prompter.messages.isEmpty());
    }
    const QStringList before = entries(folders.sub);

    QPushButton* button = fault == "deleted mid-run" ? rig.f().MoreCommand : rig.f().StartOrStopMeasCommand;
    if (fault == "deleted mid-run")
        QVERIFY(button->isEnabled());
    QVERIFY(!rig.run(button, path));
    QCOMPARE(rig.prompter.texts(), QStringList { kMonitoringFileError });
    QVERIFY(!rig.window.controller().fileOk());
    QVERIFY(!rig.timerRx.isActive());
    // Nothing under the file's name, nothing beside it.
    QCOMPARE(entries(folders.sub), before);
    if (fault == "full disk")
        QVERIFY(test::isDevice(path));
    else if (fault == "folder in its place")
        QVERIFY(QFileInfo(path).isDir());
    else
        QVERIFY(!QFile::exists(path));

    // The window goes on: a status reply is judged and shown.
    QSignalSpy judged(&rig.window.controller(), &radar::RadarController::replyJudged);
    QTest::mouseClick(rig.f().SendStatus, Qt::LeftButton);
    QVERIFY(judged.wait(kGuardMs));
    QVERIFY(judged.last().at(0).value<radar::JudgedReply>().accepted);
    QCOMPARE(rig.prompter.messages.size(), 1);
}

void TstFileFaults::trafficSaveFails_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "full disk", "folder in its place", "read-only folder" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TstFileFaults::trafficSaveFails()
{
    QFETCH(QString, fault);
    Folders folders(fault == "read-only folder" ? kReadOnly : kWritableByAll);
    QString path = folders.file("traffic.txt");
    sim::ManualClock clock;
    traffic::TrafficRecorder recorder(clock);
    test::FakePrompter prompter;
    ui::TrafficMonitorWindow window(recorder, prompter);
    window.show();
    for (int i = 0; i < 100; ++i) {
        traffic::TrafficRow row;
        row.direction = traffic::Direction::Rx;
        row.protocol = traffic::Protocol::Radar;
        row.bytes = QByteArray(64, char(i));
        recorder.record(row);
    }
    std::optional<test::UnprivilegedFiles> asUser;
    if (fault == "full disk") {
        path = test::fullDeviceIn(folders.sub);
        QVERIFY(!path.isEmpty());
    } else if (fault == "folder in its place") {
        QVERIFY(QDir().mkdir(path));
    } else {
        asUser.emplace();
        if (!asUser->active())
            QSKIP(qPrintable(asUser->whyNot()));
    }
    const QStringList before = entries(folders.sub);

    QSignalSpy saved(&window, &ui::TrafficMonitorWindow::saved);
    prompter.fileAnswers.enqueue(path);
    window.SaveCommand_Click();
    QVERIFY(saved.wait(kGuardMs));
    const QString error = saved.last().at(1).toString();
    QVERIFY(!error.isEmpty());
    QCOMPARE(prompter.texts(),
        QStringList { QStringLiteral("The traffic could not be saved to %1: %2").arg(path, error) });
    QCOMPARE(entries(folders.sub), before);
    if (fault == "full disk")
        QVERIFY(test::isDevice(path));
    else if (fault == "folder in its place")
        QVERIFY(QFileInfo(path).isDir());
    else
        QVERIFY(!QFile::exists(path));
    // Saving again elsewhere works: the rows are still there.
    asUser.reset();
    QTemporaryDir elsewhere;
    prompter.fileAnswers.enqueue(elsewhere.filePath("traffic.txt"));
    window.SaveCommand_Click();
    QVERIFY(saved.wait(kGuardMs));
    QCOMPARE(saved.last().at(1).toString(), QString());
    // "Recording started" and the hundred rows, as a whole session.
    QCOMPARE(window.shownRows().size(), 101);
    const traffic::SessionRead read = traffic::readSessionFile(elsewhere.filePath("traffic.txt"));
    QVERIFY2(read.session, qPrintable(read.message()));
    QCOMPARE(read.session->rows.size(), 101);
}

void TstFileFaults::hexFileFails_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "deleted before the burn", "unreadable", "folder in its place",
             "device in its place", "pipe in its place", "deleted mid-burn" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

// The burn reads the chosen file whole before it sends anything; a file that cannot be read is said
// so and nothing goes to the device, and one deleted once read burns on from what was read.
void TstFileFaults::hexFileFails()
{
    QFETCH(QString, fault);
    constexpr int kLines = 40;
    Folders folders(kWritableByAll);
    const QString path = folders.file("firmware.hex");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sim::sampleHexFile(kLines));
    }
    flash::FlashTimings timings;
    timings.commandPauseMs = 0;
    timings.slowWritePauseMs = 0;
    timings.finishPauseMs = 0;
    test::SimulatorLink link;
    test::FakePrompter prompter;
    ui::FlashBurningWindow window(
        link, prompter, true, test::writeStandInConverter(folders.root.path()), timings);
    window.show();
    prompter.fileAnswers.enqueue(path);
    QTest::mouseClick(window.form().BrowseCommand, Qt::LeftButton);
    QVERIFY(window.form().SendHEXFileCommand->isEnabled());

    std::optional<test::UnprivilegedFiles> asUser;
    if (fault == "deleted before the burn") {
        QVERIFY(QFile::remove(path));
    } else if (fault == "unreadable") {
        // Burnt once, so the converter has had its turn; then the file is taken from the user.
        QSignalSpy first(&window.burner(), &flash::FlashBurner::finished);
        QTest::mouseClick(window.form().SendHEXFileCommand, Qt::LeftButton);
        QVERIFY(first.wait(kGuardMs * 3));
        QVERIFY(first.first().first().value<flash::FlashResult>().accepted);
        link.written.clear();
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        asUser.emplace();
        if (!asUser->active())
            QSKIP(qPrintable(asUser->whyNot()));
    } else if (fault == "folder in its place") {
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
    } else if (fault == "device in its place") {
        // A device of endless bytes: reading it to its end would never end.
        QVERIFY(QFile::remove(path));
        const QString device = test::fullDeviceIn(folders.sub);
        if (device != folders.file("full"))
            QSKIP("devices cannot be made here");
        QVERIFY(QFile::rename(device, path));
    } else if (fault == "pipe in its place") {
        // Nobody writes to it: opening it to read would wait for ever.
        QVERIFY(QFile::remove(path));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    }

    QSignalSpy finished(&window.burner(), &flash::FlashBurner::finished);
    QSignalSpy lineSent(&window.burner().exchange(), &flash::FlashExchange::messageSent);
    if (fault == "deleted mid-burn") {
        // Gone as soon as the burn has begun.
        QObject::connect(&window.burner().exchange(), &flash::FlashExchange::messageSent, &window,
            [&path] { QFile::remove(path); });
    }
    QTest::mouseClick(window.form().SendHEXFileCommand, Qt::LeftButton);
    // Once the converter has had its turn the file is read at the click, so the burn may end in it.
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kGuardMs * 3);
    const auto result = finished.first().first().value<flash::FlashResult>();
    if (fault == "deleted mid-burn") {
        QVERIFY(result.accepted);
        QVERIFY(prompter.messages.isEmpty());
        QCOMPARE(window.form().FlashBurningStatusText->text(), QString("Flash Burning Succeeded"));
        QCOMPARE(link.simulator.bootloader().records().size(), kLines);
        QVERIFY(!QFile::exists(path));
        return;
    }
    QVERIFY(!result.accepted);
    QCOMPARE(prompter.messages.size(), 1);
    const QString expected
        = QStringLiteral("Cannot read the HEX file %1: ").arg(QDir::toNativeSeparators(path));
    QVERIFY2(prompter.lastText().startsWith(expected), qPrintable(prompter.lastText()));
    QCOMPARE(lineSent.size(), 0);
    QVERIFY(link.written.isEmpty());
    QVERIFY(window.form().BrowseCommand->isEnabled());
    QVERIFY(window.form().SendHEXFileCommand->isEnabled());
}

void TstFileFaults::workbooksFail_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "folder in the first's place", "folder in the second's place",
             "device in the second's place", "read-only folder" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

// The parsing window's workbooks: the message names the workbook stage, and the workbooks of an
// earlier run stay as they were, both of them, with nothing left beside them.
void TstFileFaults::workbooksFail()
{
    QFETCH(QString, fault);
    Folders folders(kWritableByAll);
    const QByteArray record
        = "D 1523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 "
          "Tp 23 M 1 C 1 S 0\t   12.50\r\n";
    const QString log = folders.root.filePath("capture.txt");
    {
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(record.repeated(50));
    }
    const QString all = folders.file("TaliqAllDebug.xlsx");
    const QString current = folders.file("Taliq4_20Debug.xlsx");
    for (const QString& path : { all, current }) {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    QWidget main;
    test::FakePrompter prompter;
    ui::ParsingWindow window(main, prompter, [&folders] { return folders.sub; });
    window.show();
    prompter.fileAnswers.enqueue(log);
    QTest::mouseClick(window.form().BrowseCommand, Qt::LeftButton);

    std::optional<test::UnprivilegedFiles> asUser;
    QString replaced;
    if (fault == "folder in the first's place") {
        replaced = all;
        QVERIFY(QFile::remove(all) && QDir().mkdir(all));
    } else if (fault == "folder in the second's place") {
        replaced = current;
        QVERIFY(QFile::remove(current) && QDir().mkdir(current));
    } else if (fault == "device in the second's place") {
        replaced = current;
        const QString device = test::fullDeviceIn(folders.sub);
        if (device != folders.file("full"))
            QSKIP("devices cannot be made here");
        QVERIFY(QFile::remove(current) && QFile::rename(device, current));
    } else {
        QVERIFY(QFile::setPermissions(folders.sub, kReadOnly));
        asUser.emplace();
        if (!asUser->active())
            QSKIP(qPrintable(asUser->whyNot()));
    }
    const QStringList before = entries(folders.sub);

    QSignalSpy finished(&window.run(), &debuglog::ParsingRun::finished);
    QTest::mouseClick(window.form().SaveParameters, Qt::LeftButton);
    QVERIFY(finished.wait(kGuardMs * 6));
    QCOMPARE(prompter.texts(), QStringList { "Problen with Excel File" });
    QCOMPARE(entries(folders.sub), before);
    for (const QString& path : { all, current }) {
        if (path == replaced)
            continue;
        QCOMPARE(contents(path), QByteArray("earlier"));
    }
    if (fault.startsWith("folder"))
        QVERIFY(QFileInfo(replaced).isDir());
    else if (fault.startsWith("device"))
        QVERIFY(test::isDevice(replaced));
    QVERIFY(window.form().SaveParameters->isEnabled());
    QVERIFY(window.form().BrowseCommand->isEnabled());
}

QTEST_MAIN(TstFileFaults)
#include "tst_file_faults.moc"
