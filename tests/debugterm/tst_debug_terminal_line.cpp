#include "debugterm/debug_terminal.h"
#include "serial/qt_byte_link.h"
#include "support/pty_pair.h"

#include <QFile>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using debugterm::DebugTerminal;

namespace {

constexpr int kGuardMs = 10000;
constexpr auto kSettings = "9600,n,8,1";

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The capture file without its stamps, which depend on when the bytes arrived.
QByteArray withoutStamps(QByteArray capture)
{
    static const QRegularExpression stamp(QStringLiteral("\t-?[0-9]*\\.[0-9][0-9]\r\n"));
    return QString::fromLatin1(capture).replace(stamp, QStringLiteral("|")).toLatin1();
}

} // namespace

// The terminal on a real pseudo-terminal, with the test as the sensor on the far side.
class TestDebugTerminalLine : public QObject {
    Q_OBJECT

private slots:
    void capturesWhatThePeerWrites()
    {
        test::PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryDir dir;
        const QString path = dir.filePath("capture.txt");
        serial::QtByteLink link;
        DebugTerminal t(link, SystemClock::instance());
        QVERIFY(t.openCapture(path));
        QVERIFY(t.start(pty.slavePath(), kSettings));

        // Pieces cut inside lines and between CR and LF, each written once the one before is in.
        const QList<QByteArray> pieces { "D 1834 RD 1830 RD2 18", "29 P 3 S 0\r",
            "\nR_SEARCH : Occur jump\r\n", "---> Enter to QuickSearch\r\nD: DIST filter\r", "\n" };
        qint64 sent = 0;
        for (const QByteArray& piece : pieces) {
            QVERIFY(pty.writeMaster(piece));
            sent += piece.size();
            QTRY_COMPARE_WITH_TIMEOUT(t.bytesReceived(), sent, kGuardMs);
        }
        QCOMPARE(withoutStamps(fileBytes(path)),
            QByteArray("D 1834 RD 1830 RD2 1829 P 3 S 0|R_SEARCH : Occur jump|---> Enter to QuickSearch|D: "
                       "DIST filter|"));
        const QByteArray capture = fileBytes(path);
        QCOMPARE(capture.count('\t'), 4);
        QCOMPARE(capture.count("\r\n"), 4);
    }

    // While the terminal listens it holds the port; Stop lets it go.
    void stopReleasesThePort()
    {
        test::PtyPair pty;
        QVERIFY(pty.isValid());
        serial::QtByteLink link;
        DebugTerminal t(link, SystemClock::instance());
        QVERIFY(t.start(pty.slavePath(), kSettings));
        {
            QSerialPort other(pty.slavePath());
            QVERIFY(!other.open(QIODevice::ReadWrite));
        }
        t.stop();
        QSerialPort other(pty.slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
    }

    // The far end goes away: the terminal says so once and stops.
    void farEndClosing()
    {
        test::PtyPair pty;
        QVERIFY(pty.isValid());
        serial::QtByteLink link;
        DebugTerminal t(link, SystemClock::instance());
        QSignalSpy lost(&t, &DebugTerminal::lineLost);
        QVERIFY(t.start(pty.slavePath(), kSettings));
        pty.closeKeeper();
        pty.closeMaster();
        QVERIFY(lost.wait(kGuardMs));
        QVERIFY(!t.isRunning());
        QVERIFY(!link.isOpen());
        QCOMPARE(lost.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDebugTerminalLine)
#include "tst_debug_terminal_line.moc"
