// The writers' files in a folder the user may not write to, chosen there or made read-only mid-run,
// as an unprivileged user sees it: the writer's own message, nothing half written, and the polling
// or listening around it goes on. (Deleted files, a folder in the file's place and a full disk are
// tested with each writer.)
#include "app/main_controller.h"
#include "debugterm/debug_terminal.h"
#include "sim/manual_clock.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "support/unprivileged_files.h"
#include "ui/taliq485_debug_window.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"
#include "ui_taliq485_debug_window.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

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

} // namespace

class TstFileFaults : public QObject {
    Q_OBJECT
private slots:
    void readingsLogChosenInAReadOnlyFolder();
    void readingsLogFolderMadeReadOnlyMidRun();
    void captureFileChosenInAReadOnlyFolder();
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

QTEST_MAIN(TstFileFaults)
#include "tst_file_faults.moc"
