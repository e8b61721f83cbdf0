#include "debugterm/line_stamper.h"
#include "debugterm/screen_line_counter.h"
#include "debugterm/stamp_format.h"

#include <QTest>

using namespace velto::debugterm;

namespace {

// Everything a stream did, gathered over its pieces.
struct Replay {
    QString screen; // what the screen holds at the end
    QByteArray capture;
    int lines = 0;
    int clears = 0;
    QStringList finished;

    void add(const StampedChunk& c)
    {
        if (c.screenCleared) {
            screen.clear();
            ++clears;
        }
        screen += c.screenText;
        capture += c.capture;
        lines += c.lines;
        finished += c.finishedLines;
    }
};

Replay feedInPieces(const QByteArray& stream, const QList<qsizetype>& cuts, qint64 ms = 1230)
{
    LineStamper stamper;
    stamper.setKeepLines(true);
    Replay r;
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        r.add(stamper.feed(QByteArrayView(stream).sliced(from, cut - from), ms, true));
        from = cut;
    }
    r.add(stamper.feed(QByteArrayView(stream).sliced(from), ms, true));
    return r;
}

QByteArray numberedLines(int first, int last)
{
    QByteArray out;
    for (int i = first; i <= last; ++i)
        out += "L" + QByteArray::number(i) + "\r\n";
    return out;
}

} // namespace

class TestLineStamper : public QObject {
    Q_OBJECT

private slots:
    void stampFormat_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << ".00";
        QTest::newRow("below half a hundredth") << qint64(4) << ".00";
        QTest::newRow("half rounds up") << qint64(5) << ".01";
        QTest::newRow("no leading zero") << qint64(70) << ".07";
        QTest::newRow("one second") << qint64(1000) << "1.00";
        QTest::newRow("rounded") << qint64(12345) << "12.35";
        QTest::newRow("five digits") << qint64(99999994) << "99999.99";
        QTest::newRow("past five digits") << qint64(123456789) << "123456.79";
        QTest::newRow("negative") << qint64(-1500) << "-1.50";
    }
    void stampFormat()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(formatStamp(ms), text);
    }

    // Three letters and CR LF: on screen the letters, three spaces, the stamp and a line break; in
    // the file the letters, a tab, the stamp and CR LF.
    void threeLettersCrLf()
    {
        LineStamper stamper;
        const StampedChunk c = stamper.feed("abc\r\n", 1230, true);
        QCOMPARE(c.screenText, QString("abc   1.23\n"));
        QCOMPARE(c.capture, QByteArray("abc\t1.23\r\n"));
        QCOMPARE(c.lines, 1);
        QVERIFY(!c.screenCleared);

        const StampedChunk off = stamper.feed("def\r\n", 2000, false);
        QCOMPARE(off.screenText, QString("def   2.00\n"));
        QVERIFY(off.capture.isEmpty());
    }

    // Where the reads cut the stream changes nothing: CR and LF in separate reads, a line in
    // single bytes, every cut position of a mixed stream.
    void chunkBoundariesAnywhere()
    {
        const QByteArray stream
            = "D 12 RD 11 S 0\r\nR_SEARCH : Occur jump\r\nbare lf\nbare cr\r\r\n\r\nx\tz\r\n";
        const Replay whole = feedInPieces(stream, {});
        QCOMPARE(whole.lines, 6);
        QCOMPARE(whole.capture,
            QByteArray("D 12 RD 11 S 0\t1.23\r\nR_SEARCH : Occur jump\t1.23\r\nbare lfbare cr\t1.23\r\n"
                       "\t1.23\r\n\t1.23\r\nx\tz\t1.23\r\n"));
        for (qsizetype cut = 1; cut < stream.size(); ++cut) {
            const Replay two = feedInPieces(stream, { cut });
            QCOMPARE(two.screen, whole.screen);
            QCOMPARE(two.capture, whole.capture);
            QCOMPARE(two.finished, whole.finished);
        }
        QList<qsizetype> everyByte;
        for (qsizetype i = 1; i < stream.size(); ++i)
            everyByte << i;
        const Replay bytes = feedInPieces(stream, everyByte);
        QCOMPARE(bytes.screen, whole.screen);
        QCOMPARE(bytes.capture, whole.capture);
        QCOMPARE(bytes.finished,
            QStringList({ "D 12 RD 11 S 0   1.23", "R_SEARCH : Occur jump   1.23", "bare lf   1.23",
                "bare cr   1.23", "   1.23", "x\tz   1.23" }));
    }

    // The stamp at a carriage return is the time it arrived; the screen's stamp is the time of the
    // line feed.
    void crAndLfStampedWhenTheyArrive()
    {
        LineStamper stamper;
        const StampedChunk first = stamper.feed("abc\r", 1000, true);
        const StampedChunk second = stamper.feed("\n", 2500, true);
        QCOMPARE(first.capture + second.capture, QByteArray("abc\t1.00\r\n"));
        QCOMPARE(first.screenText + second.screenText, QString("abc   2.50\n"));
    }

    void lineCounterEmptiesAt51AndEvery50th()
    {
        ScreenLineCounter counter;
        QList<int> emptiedAt;
        for (int line = 1; line <= 251; ++line) {
            if (counter.lineShown())
                emptiedAt << line;
        }
        QCOMPARE(emptiedAt, QList<int>({ 51, 101, 151, 201, 251 }));
    }

    void screenEmptiedRightAfterThe51stLine()
    {
        LineStamper stamper;
        const StampedChunk fifty = stamper.feed(numberedLines(1, 50), 0, false);
        QVERIFY(!fifty.screenCleared);
        QCOMPARE(fifty.screenText.count(u'\n'), 50);

        const StampedChunk fiftyFirst = stamper.feed(numberedLines(51, 51), 0, false);
        QVERIFY(fiftyFirst.screenCleared);
        QVERIFY(fiftyFirst.screenText.isEmpty());

        const StampedChunk upTo100 = stamper.feed(numberedLines(52, 100), 0, false);
        QVERIFY(!upTo100.screenCleared);
        QVERIFY(upTo100.screenText.startsWith("L52   .00\n"));

        // Many screens in one read: only what follows the last emptying is left to show.
        const StampedChunk burst = stamper.feed(numberedLines(101, 170), 0, false);
        QVERIFY(burst.screenCleared);
        QVERIFY(burst.screenText.startsWith("L152   .00\n"));
        QVERIFY(burst.screenText.endsWith("L170   .00\n"));
        QCOMPARE(stamper.screenLineCount(), 20);

        // Clear Screen empties the screen but the count goes on.
        stamper.screenEmptied();
        QCOMPARE(stamper.screenLineCount(), 20);
    }

    // A stream without line feeds never makes the screen grow past its bound; the file gets all.
    void screenBoundedWithoutLineFeeds()
    {
        LineStamper stamper;
        stamper.setKeepLines(true);
        const QByteArray piece(10000, 'x');
        qsizetype shown = 0;
        qsizetype captured = 0;
        qsizetype kept = 0;
        bool cleared = false;
        for (int i = 0; i < 30; ++i) {
            const StampedChunk c = stamper.feed(piece + "\r", 0, true);
            shown = c.screenCleared ? c.screenText.size() : shown + c.screenText.size();
            cleared = cleared || c.screenCleared;
            captured += c.capture.size();
            for (const QString& line : c.finishedLines)
                kept = std::max(kept, line.size());
            QVERIFY(shown <= LineStamper::kMaxScreenChars);
        }
        QVERIFY(cleared);
        QCOMPARE(captured, 30 * (10000 + qsizetype(sizeof("\t.00\r\n")) - 1));
        QVERIFY(kept <= LineStamper::kMaxScreenChars);

        // One read larger than the whole screen shows its end.
        const StampedChunk huge
            = stamper.feed(QByteArray(LineStamper::kMaxScreenChars * 2, 'y') + "end", 0, false);
        QVERIFY(huge.screenCleared);
        QCOMPARE(huge.screenText.size(), LineStamper::kMaxScreenChars);
        QVERIFY(huge.screenText.endsWith("end"));
    }

    // Control bytes show as symbols; the file gets every byte but the line ends as it came.
    void controlBytesVisibleOnScreenAndKeptInFile()
    {
        LineStamper stamper;
        const QByteArray raw("a\0b\x1b\x7f\xff\tc\r\n", 10);
        const StampedChunk c = stamper.feed(raw, 0, true);
        QCOMPARE(c.screenText, QString::fromUtf16(u"a\u2400b\u241b\u2421\u00ff\tc   .00\n"));
        QCOMPARE(c.capture, QByteArray("a\0b\x1b\x7f\xff\tc\t.00\r\n", 14));
    }
};

QTEST_APPLESS_MAIN(TestLineStamper)
#include "tst_line_stamper.moc"
