#include "debugterm/capture_writer.h"
#include "debugterm/debug_terminal.h"
#include "sim/manual_clock.h"
#include "support/fake_byte_link.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace velto;
using debugterm::CaptureWriter;
using debugterm::DebugTerminal;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The screen as the window would hold it after every update so far.
struct Screen {
    explicit Screen(DebugTerminal& t)
    {
        QObject::connect(&t, &DebugTerminal::screenUpdate, [this](bool clearFirst, const QString& text) {
            if (clearFirst)
                shown.clear();
            shown += text;
        });
    }
    QString shown;
};

} // namespace

class TestDebugTerminal : public QObject {
    Q_OBJECT

private slots:
    void captureFileCreatedAndReplaced()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("capture.txt");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier capture\r\n");
        old.close();

        CaptureWriter writer;
        QVERIFY(writer.open(path));
        QCOMPARE(fileBytes(path), QByteArray());
        QVERIFY(writer.write("abc\t1.00\r\n"));
        // Flushed at once: a reader sees it while capture goes on.
        QCOMPARE(fileBytes(path), QByteArray("abc\t1.00\r\n"));
        QCOMPARE(writer.bytesWritten(), 10);
        writer.close();
        QVERIFY(!writer.write("late"));
    }

    void captureFileThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("missing folder") << "missing folder";
        QTest::newRow("directory in its place") << "directory";
        QTest::newRow("disk full") << "full";
        QTest::newRow("deleted while open") << "deleted";
        QTest::newRow("a pipe") << "fifo";
    }
    void captureFileThatCannotBeWritten()
    {
        QFETCH(QString, fault);
        QTemporaryDir dir;
        QString path = dir.filePath("capture.txt");
        if (fault == "missing folder")
            path = dir.filePath("gone/capture.txt");
        if (fault == "directory")
            QVERIFY(QDir(dir.path()).mkdir("capture.txt"));
        if (fault == "full") {
            if (!QFile::exists("/dev/full"))
                QSKIP("no /dev/full here");
            path = "/dev/full";
        }
        // Opening a pipe for writing would wait for a reader for ever.
        if (fault == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        CaptureWriter writer;
        const bool opened = writer.open(path);
        if (fault == "missing folder" || fault == "directory" || fault == "fifo") {
            QVERIFY(!opened);
            QVERIFY(writer.errorText().contains(QDir::toNativeSeparators(path)));
            return;
        }
        QVERIFY(opened);
        if (fault == "deleted")
            QVERIFY(QFile::remove(path));
        QVERIFY(!writer.write("abc\t1.00\r\n"));
        QVERIFY(!writer.isOpen());
        QVERIFY(writer.errorText().contains("could not be written"));
    }

    void startOpensTheGivenPortAndStopClosesIt()
    {
        test::FakeByteLink link;
        sim::ManualClock clock;
        DebugTerminal t(link, clock);
        QSignalSpy running(&t, &DebugTerminal::runningChanged);

        QVERIFY(!t.start(QString(), "9600,n,8,1"));
        QVERIFY(!t.errorText().isEmpty());
        link.failOpen = true;
        QVERIFY(!t.start("/dev/ttyX", "9600,n,8,1"));
        QVERIFY(!t.isRunning());
        QCOMPARE(running.size(), 0);

        link.failOpen = false;
        QVERIFY(t.start("/dev/ttyX", "19200,n,8,2"));
        QCOMPARE(link.openedPort, QString("/dev/ttyX"));
        QCOMPARE(link.openedSettings, QString("19200,n,8,2"));
        QVERIFY(t.isRunning());
        t.stop();
        QVERIFY(!link.isOpen());
        QCOMPARE(running.size(), 2);
        QVERIFY(link.written.isEmpty()); // it only listens
    }

    // Lines arriving in pieces reach screen and file stamped with the time since load.
    void streamToScreenAndFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("capture.txt");
        test::FakeByteLink link;
        sim::ManualClock clock(50000);
        DebugTerminal t(link, clock);
        Screen screen(t);
        clock.advance(1234);
        QVERIFY(t.start("/dev/ttyX", "9600,n,8,1"));
        QVERIFY(t.openCapture(path));
        link.receive("ab");
        link.receive("c\r");
        clock.advance(1000);
        link.receive("\nde");
        t.flushScreen();
        QCOMPARE(screen.shown, QString("abc   2.23\nde"));
        // The line under way waits for its end before it goes to the file.
        QCOMPARE(fileBytes(path), QByteArray("abc\t1.23\r\n"));
        QCOMPARE(t.bytesReceived(), 7);

        // Close stops the file; the screen goes on.
        t.closeCapture();
        link.receive("f\r\n");
        t.flushScreen();
        QCOMPARE(screen.shown, QString("abc   2.23\ndef   2.23\n"));
        QCOMPARE(fileBytes(path), QByteArray("abc\t1.23\r\n"));
    }

    // However capture or listening is cut, the file holds whole lines only, so it can be parsed.
    void captureHoldsWholeLines_data()
    {
        QTest::addColumn<QStringList>("steps"); // open, close, start, stop, lose, or bytes received
        QTest::addColumn<QByteArray>("file");
        const QByteArray abc = "abc\t.00\r\n";
        QTest::newRow("closed inside a line")
            << QStringList { "start", "open", "abc\r\nD 15", "close" } << abc;
        QTest::newRow("closed between CR and LF")
            << QStringList { "start", "open", "abc\r\nD 15\r", "close" } << abc + "D 15\t.00\r\n";
        QTest::newRow("stopped inside a line, then started again") << QStringList { "start", "open",
            "abc\r\nD 15", "stop", "start", "xyz\r\n", "close" } << abc + "xyz\t.00\r\n";
        QTest::newRow("line lost inside a line, then started again") << QStringList { "start", "open",
            "abc\r\nD 15", "lose", "start", "xyz\r\n", "close" } << abc + "xyz\t.00\r\n";
        QTest::newRow("opened inside a line")
            << QStringList { "start", "D 15", "open", "23 RD 1530\r\nabc\r\n", "close" } << abc;
        QTest::newRow("opened between CR and LF")
            << QStringList { "start", "D 1523\r", "open", "\nabc\r\n", "close" } << abc;
        QTest::newRow("opened after a lone LF")
            << QStringList { "start", "abc\nx", "open", "y\r\n", "close" } << QByteArray();
        QTest::newRow("a line end in each piece")
            << QStringList { "start", "open", "a", "bc\r", "\nD", " 15", "close" } << abc;
    }
    void captureHoldsWholeLines()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        const QString path = dir.filePath("capture.txt");
        test::FakeByteLink link;
        sim::ManualClock clock;
        DebugTerminal t(link, clock);
        for (const QString& step : steps) {
            if (step == "open")
                QVERIFY(t.openCapture(path));
            else if (step == "close")
                t.closeCapture();
            else if (step == "start")
                QVERIFY(t.start("/dev/ttyX", "9600,n,8,1"));
            else if (step == "stop")
                t.stop();
            else if (step == "lose")
                link.close();
            else
                link.receive(step.toLatin1());
        }
        QCOMPARE(fileBytes(path), file);
        QCOMPARE(t.bytesCaptured(), file.size());
    }

    void screenUpdatesAreBatched()
    {
        test::FakeByteLink link;
        sim::ManualClock clock;
        DebugTerminal t(link, clock);
        QSignalSpy updates(&t, &DebugTerminal::screenUpdate);
        QVERIFY(t.start("/dev/ttyX", "9600,n,8,1"));
        for (int i = 0; i < 101; ++i)
            link.receive("line\r\n");
        QCOMPARE(updates.size(), 0);
        QVERIFY(t.screenTimer().isActive());
        QVERIFY(updates.wait(5000));
        QCOMPARE(updates.size(), 1);
        // The 101st line emptied the screen: the one update says so and carries nothing after it.
        QCOMPARE(updates.at(0).at(0).toBool(), true);
        QCOMPARE(updates.at(0).at(1).toString().count(u'\n'), 0);
    }

    void clearScreenAndClearBuffer()
    {
        test::FakeByteLink link;
        sim::ManualClock clock;
        DebugTerminal t(link, clock);
        Screen screen(t);
        QVERIFY(t.start("/dev/ttyX", "9600,n,8,1"));
        link.receive("one\r\ntwo");
        t.clearScreen();
        QCOMPARE(screen.shown, QString());
        QCOMPARE(t.screenLineCount(), 1);

        link.incoming = "unread bytes";
        t.clearBuffer();
        QCOMPARE(link.bytesAvailable(), 0);
        link.receive("three\r\n");
        t.flushScreen();
        QCOMPARE(screen.shown, QString("three   .00\n"));
    }

    // The line dies under the terminal: said once, the terminal is stopped.
    void lineLostStopsListening()
    {
        test::FakeByteLink link;
        sim::ManualClock clock;
        DebugTerminal t(link, clock);
        QSignalSpy lost(&t, &DebugTerminal::lineLost);
        QSignalSpy running(&t, &DebugTerminal::runningChanged);
        QVERIFY(t.start("/dev/ttyX", "9600,n,8,1"));
        link.close();
        QCOMPARE(lost.size(), 1);
        QVERIFY(!t.isRunning());
        QCOMPARE(running.last().at(0).toBool(), false);
        t.stop();
        QCOMPARE(lost.size(), 1);
    }

    // A file that stops taking bytes stops capture once; the screen keeps running.
    void captureFailureReportedOnce()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        test::FakeByteLink link;
        sim::ManualClock clock;
        DebugTerminal t(link, clock);
        Screen screen(t);
        QSignalSpy failed(&t, &DebugTerminal::captureFailed);
        QSignalSpy capturing(&t, &DebugTerminal::capturingChanged);
        QVERIFY(t.start("/dev/ttyX", "9600,n,8,1"));
        QVERIFY(t.openCapture("/dev/full"));
        link.receive("abc\r\n");
        link.receive("def\r\n");
        QCOMPARE(failed.size(), 1);
        QVERIFY(failed.at(0).at(0).toString().contains("/dev/full"));
        QVERIFY(!t.isCapturing());
        QCOMPARE(capturing.last().at(0).toBool(), false);
        t.flushScreen();
        QCOMPARE(screen.shown, QString("abc   .00\ndef   .00\n"));
    }

    // Load starts the clock and the line count again and closes what was open.
    void loadStartsAfresh()
    {
        QTemporaryDir dir;
        test::FakeByteLink link;
        sim::ManualClock clock;
        DebugTerminal t(link, clock);
        QVERIFY(t.start("/dev/ttyX", "9600,n,8,1"));
        QVERIFY(t.openCapture(dir.filePath("a.txt")));
        link.receive("x\r\n");
        clock.advance(7000);
        t.load();
        QVERIFY(!link.isOpen());
        QVERIFY(!t.isCapturing());
        QCOMPARE(t.screenLineCount(), 0);
        QCOMPARE(t.elapsedMs(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDebugTerminal)
#include "tst_debug_terminal.moc"
