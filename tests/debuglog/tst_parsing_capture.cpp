#include "debuglog/parsing_job.h"
#include "debugterm/capture_writer.h"
#include "debugterm/line_stamper.h"
#include "sim/taliq485_debug_talker.h"
#include "support/xlsx_sheet.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using namespace velto::debugterm;
using namespace velto::debuglog;

// The debug terminal's capture of a simulated sensor, turned into workbooks: the two ends agree on
// the capture's line form, stamps included.
class TstParsingCapture : public QObject {
    Q_OBJECT
private slots:
    void capturedSensorOutputBecomesWorkbooks();
};

void TstParsingCapture::capturedSensorOutputBecomesWorkbooks()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("capture.txt");
    {
        // Two minutes of the sensor, read in pieces of 1 to 64 bytes, so CR and LF fall apart too.
        sim::Taliq485DebugTalker talker;
        LineStamper stamper;
        CaptureWriter capture;
        QVERIFY(capture.open(log));
        constexpr qint64 kMinutesMs = 120000;
        constexpr qint64 kReadEveryMs = 35;
        quint32 cut = 7;
        for (qint64 ms = 0; ms <= kMinutesMs; ms += kReadEveryMs) {
            const QByteArray bytes = talker.outputUntil(ms);
            for (qsizetype at = 0; at < bytes.size();) {
                cut = cut * 1103515245u + 12345u;
                const qsizetype n = std::min<qsizetype>(1 + (cut >> 16) % 64, bytes.size() - at);
                QVERIFY(capture.write(stamper.feed(QByteArrayView(bytes).sliced(at, n), ms, true).capture));
                at += n;
            }
        }
        capture.close();
    }

    // What each record line of the capture says: distance, C, status and stamp.
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRegularExpression record(R"(^D (\d+) RD .* C (\d) S (\d)\t(-?\d*\.\d\d)\r$)");
    QStringList all;
    QStringList current;
    while (!file.atEnd()) {
        const QString line = QString::fromLatin1(file.readLine()).chopped(1);
        if (const auto m = record.match(line); m.hasMatch()) {
            const QString row = QStringList { m.captured(1), m.captured(2), m.captured(3),
                QString::number(m.captured(4).toDouble()) }
                                    .join(',');
            all << row;
            if (m.captured(2) == "1")
                current << row;
        }
    }
    QVERIFY(all.size() > 500);
    QVERIFY(current.size() > 300 && current.size() < all.size());

    std::atomic<bool> cancel = false;
    const ParsingOutcome outcome = ParsingJob(ParsingPaths::inFolder(log, dir.path()), cancel).run();
    QVERIFY2(outcome.saved(), qPrintable(outcome.detail));
    QCOMPARE(outcome.allRows, all.size());
    QCOMPARE(outcome.currentRows, current.size());

    // The cells as numbers: the writer may spell 0.81 as 0.8100000000000001, the same double.
    const auto rows = [](const test::XlsxSheet& sheet) {
        QStringList out;
        for (int r = 2; r <= sheet.lastRow; ++r) {
            QStringList cells;
            for (const char* column : { "A", "P", "L", "S" })
                cells << QString::number(sheet.number(column + QString::number(r)));
            out << cells.join(',');
        }
        return out;
    };
    const test::XlsxSheet allSheet = test::readXlsxSheet(dir.filePath("TaliqAllDebug.xlsx"));
    QVERIFY2(allSheet.error.isEmpty(), qPrintable(allSheet.error));
    QCOMPARE(rows(allSheet), all);
    const test::XlsxSheet currentSheet = test::readXlsxSheet(dir.filePath("Taliq4_20Debug.xlsx"));
    QVERIFY2(currentSheet.error.isEmpty(), qPrintable(currentSheet.error));
    QCOMPARE(rows(currentSheet), current);
}

QTEST_GUILESS_MAIN(TstParsingCapture)
#include "tst_parsing_capture.moc"
