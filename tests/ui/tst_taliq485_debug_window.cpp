#include "debugterm/debug_terminal.h"
#include "sim/manual_clock.h"
#include "support/fake_byte_link.h"
#include "support/fake_prompter.h"
#include "ui/taliq485_debug_window.h"
#include "ui_taliq485_debug_window.h"

#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;

namespace {

struct Fixture {
    test::FakeByteLink link;
    test::FakePrompter prompter;
    sim::ManualClock clock;
    ui::DebugPort port { "/dev/ttyDEBUG", "19200,n,8,1" };
    QStringList released;
    ui::Taliq485DebugWindow window { link, prompter, clock, [this] { return port; },
        [this](const QString& location) { released << location; } };

    Ui::FormTaliq485Debug& f() { return window.form(); }
    QString screen()
    {
        window.terminal().flushScreen();
        return f().DebugWindowText->toPlainText();
    }
};

} // namespace

class TestTaliq485DebugWindow : public QObject {
    Q_OBJECT

private slots:
    void menusAndOpeningState()
    {
        Fixture fx;
        Ui::FormTaliq485Debug& f = fx.f();
        QCOMPARE(fx.window.objectName(), QString("FormTaliq485Debug"));
        QCOMPARE(fx.window.windowTitle(), QString("Taliq485 Debug"));
        const QList<std::pair<QMenu*, QString>> menus { { f.mnuFile, "&File" },
            { f.mnuOperation, "&Operation" }, { f.mnuEdit, "&Edit" }, { f.mnuSetup, "&Setup" } };
        for (const auto& [menu, title] : menus)
            QCOMPARE(menu->title(), title);
        const QList<std::pair<QAction*, QString>> entries { { f.mnuOpen, "&Open" }, { f.mnuClose, "&Close" },
            { f.mnuExit, "&Exit" }, { f.mnuStart, "&Start" }, { f.mnuStop, "St&op" },
            { f.mnuClearScreen, "&Clear Screen" }, { f.mnuClearBuffer, "&Clear Buffer" },
            { f.mnuFont, "&Font" }, { f.mnuColor, "&Color" } };
        for (const auto& [action, text] : entries)
            QCOMPARE(action->text(), text);
        QVERIFY(f.mnuSep->isSeparator());
        // Start and Stop sit in one menu: one key each, and none shared in that menu.
        QCOMPARE(QKeySequence::mnemonic(f.mnuStart->text()), QKeySequence(Qt::ALT | Qt::Key_S));
        QCOMPARE(QKeySequence::mnemonic(f.mnuStop->text()), QKeySequence(Qt::ALT | Qt::Key_O));
        QSet<QKeySequence> keys;
        for (const QAction* action : f.mnuOperation->actions())
            keys.insert(QKeySequence::mnemonic(action->text()));
        QCOMPARE(keys.size(), f.mnuOperation->actions().size());
        QCOMPARE(f.mnuFile->actions(), QList<QAction*>({ f.mnuOpen, f.mnuClose, f.mnuSep, f.mnuExit }));

        QVERIFY(f.mnuStart->isEnabled());
        QVERIFY(!f.mnuStop->isEnabled());
        QVERIFY(f.mnuOpen->isEnabled());
        QVERIFY(!f.mnuClose->isEnabled());
        QVERIFY(f.DebugWindowText->isReadOnly());
        QVERIFY(!fx.link.isOpen());
    }

    void startListensOnTheChosenPortAndStopCloses()
    {
        Fixture fx;
        Ui::FormTaliq485Debug& f = fx.f();
        f.mnuStart->trigger();
        QCOMPARE(fx.released, QStringList({ "/dev/ttyDEBUG" }));
        QCOMPARE(fx.link.openedPort, QString("/dev/ttyDEBUG"));
        QCOMPARE(fx.link.openedSettings, QString("19200,n,8,1"));
        QVERIFY(!f.mnuStart->isEnabled());
        QVERIFY(f.mnuStop->isEnabled());

        fx.clock.advance(1234);
        fx.link.receive("abc\r\n");
        QCOMPARE(fx.screen(), QString("abc   1.23\n"));

        f.mnuStop->trigger();
        QVERIFY(!fx.link.isOpen());
        QVERIFY(f.mnuStart->isEnabled());
        QVERIFY(!f.mnuStop->isEnabled());
        QVERIFY(fx.link.written.isEmpty());
    }

    // A port that will not open: a clear message, the menus stay as they were.
    void startFailureLeavesMenus_data()
    {
        QTest::addColumn<QString>("location");
        QTest::newRow("open fails") << "/dev/ttyBUSY";
        QTest::newRow("no port at all") << "";
    }
    void startFailureLeavesMenus()
    {
        QFETCH(QString, location);
        Fixture fx;
        fx.port.location = location;
        fx.link.failOpen = true;
        fx.f().mnuStart->trigger();
        QCOMPARE(fx.prompter.messages.size(), 1);
        if (!location.isEmpty())
            QVERIFY(fx.prompter.lastText().contains(location));
        QVERIFY(!fx.prompter.lastText().isEmpty());
        QVERIFY(fx.f().mnuStart->isEnabled());
        QVERIFY(!fx.f().mnuStop->isEnabled());
    }

    void openAndCloseTheCaptureFile()
    {
        Fixture fx;
        Ui::FormTaliq485Debug& f = fx.f();
        f.mnuOpen->trigger(); // cancelled
        QCOMPARE(fx.prompter.fileDialogFilters, QStringList({ "TXT Files (*.txt)" }));
        QVERIFY(f.mnuOpen->isEnabled());
        QVERIFY(!f.mnuClose->isEnabled());

        QTemporaryDir dir;
        // Typed without a suffix, the name gets the filter's: the parsing window lists it then.
        const QString path = dir.filePath("taliq.txt");
        fx.prompter.fileAnswers.enqueue(dir.filePath("taliq"));
        f.mnuOpen->trigger();
        QVERIFY(!f.mnuOpen->isEnabled());
        QVERIFY(f.mnuClose->isEnabled());
        QVERIFY(!QFile::exists(dir.filePath("taliq")));
        f.mnuStart->trigger();
        fx.clock.advance(500);
        // Closed inside a line: the file ends with the last whole line.
        fx.link.receive("xyz\r\nD 1523 RD 15");
        f.mnuClose->trigger();
        QVERIFY(f.mnuOpen->isEnabled());
        QVERIFY(!f.mnuClose->isEnabled());
        fx.link.receive("after\r\n");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("xyz\t.50\r\n"));

        // A file that cannot be made: the message, capture stays off.
        fx.prompter.fileAnswers.enqueue(dir.filePath("no/such/folder.txt"));
        f.mnuOpen->trigger();
        QVERIFY(fx.prompter.lastText().contains("could not be created"));
        QVERIFY(f.mnuOpen->isEnabled());
        QVERIFY(!f.mnuClose->isEnabled());
    }

    void captureFailureMidRunSaidOnceScreenGoesOn()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        Fixture fx;
        fx.prompter.fileAnswers.enqueue("/dev/full");
        fx.f().mnuOpen->trigger();
        fx.f().mnuStart->trigger();
        fx.link.receive("one\r\n");
        fx.link.receive("two\r\n");
        QCOMPARE(fx.prompter.messages.size(), 1);
        QVERIFY(fx.f().mnuOpen->isEnabled());
        QVERIFY(!fx.f().mnuClose->isEnabled());
        QCOMPARE(fx.screen(), QString("one   .00\ntwo   .00\n"));
    }

    void lineLostSaidAndMenusBack()
    {
        Fixture fx;
        fx.f().mnuStart->trigger();
        fx.link.close();
        QCOMPARE(fx.prompter.messages.size(), 1);
        QVERIFY(fx.f().mnuStart->isEnabled());
        QVERIFY(!fx.f().mnuStop->isEnabled());
    }

    void screenEmptiedAfterThe51stLine()
    {
        Fixture fx;
        fx.f().mnuStart->trigger();
        for (int i = 1; i <= 50; ++i)
            fx.link.receive(QByteArray("line ") + QByteArray::number(i) + "\r\n");
        QCOMPARE(fx.screen().count(u'\n'), 50);
        fx.link.receive("line 51\r\n");
        QCOMPARE(fx.screen(), QString());
        fx.link.receive("line 52\r\n");
        QCOMPARE(fx.screen(), QString("line 52   .00\n"));
    }

    void clearScreenAndBuffer()
    {
        Fixture fx;
        fx.f().mnuStart->trigger();
        fx.link.receive("abc\r\n");
        QVERIFY(!fx.screen().isEmpty());
        fx.f().mnuClearScreen->trigger();
        QCOMPARE(fx.screen(), QString());
        fx.link.receive("def\r\n");
        fx.link.incoming = "pending";
        fx.f().mnuClearBuffer->trigger();
        QCOMPARE(fx.screen(), QString());
        QCOMPARE(fx.link.bytesAvailable(), 0);
    }

    void fontAndColourFromTheDialogs()
    {
        Fixture fx;
        QPlainTextEdit* text = fx.f().DebugWindowText;
        const QFont before = text->font();
        fx.f().mnuFont->trigger(); // cancelled
        QCOMPARE(text->font(), before);

        QFont chosen(QStringLiteral("DejaVu Sans Mono"), 15);
        chosen.setBold(true);
        chosen.setItalic(true);
        fx.prompter.fontAnswer = chosen;
        fx.f().mnuFont->trigger();
        QCOMPARE(text->font().family(), chosen.family());
        QCOMPARE(text->font().pointSize(), 15);
        QVERIFY(text->font().bold());
        QVERIFY(text->font().italic());

        fx.prompter.colorAnswer = QColor(0, 0, 255);
        fx.f().mnuColor->trigger();
        QCOMPARE(text->palette().color(QPalette::Text), QColor(0, 0, 255));
    }

    // Exit closes the file and the port and hands the main window back.
    void exitUnloads()
    {
        Fixture fx;
        QTemporaryDir dir;
        fx.prompter.fileAnswers.enqueue(dir.filePath("c.txt"));
        fx.f().mnuOpen->trigger();
        fx.f().mnuStart->trigger();
        fx.window.show();
        QSignalSpy exited(&fx.window, &ui::Taliq485DebugWindow::exited);
        fx.f().mnuExit->trigger();
        QCOMPARE(exited.size(), 1);
        QVERIFY(!fx.window.isVisible());
        QVERIFY(!fx.link.isOpen());
        QVERIFY(!fx.window.terminal().isCapturing());
    }
};

QTEST_MAIN(TestTaliq485DebugWindow)
#include "tst_taliq485_debug_window.moc"
