#include "flash/flash_burner.h"
#include "serial/qt_byte_link.h"
#include "sim/intel_hex.h"
#include "sim/simulated_line.h"
#include "support/text_lines.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using namespace velto::flash;
using velto::test::linesOf;

namespace {
// Against hangs only.
constexpr int kWaitMs = 120000;
constexpr int kSplitGapMs = 20;
} // namespace

// Burns over a real pseudo-terminal into the simulated bootloader, with the device's own timings.
class TestFlashLine : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString writeFile(const QByteArray& content)
    {
        const QString path = dir.filePath(QStringLiteral("firmware.hex"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(content);
        return path;
    }

private slots:
    void aLongFileArrivesExactly_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("splitGapMs");
        QTest::newRow("2000 lines") << 2000 << 0;
        QTest::newRow("answers split in two") << 100 << kSplitGapMs;
    }
    void aLongFileArrivesExactly()
    {
        QFETCH(int, lines);
        QFETCH(int, splitGapMs);
        sim::SimulatedLine line;
        QVERIFY2(line.isValid(), qPrintable(line.errorText()));
        sim::BootloaderResponder& device = line.simulator().bootloader();
        device.splitGapMs = splitGapMs;
        serial::QtByteLink link;
        QVERIFY2(link.open(line.devicePath(), QStringLiteral("115200,n,8,1")), qPrintable(link.errorText()));

        const QByteArray file = sim::sampleHexFile(lines, 42);
        FlashBurner burner(link);
        QStringList statuses;
        connect(&burner, &FlashBurner::statusChanged, this, [&statuses](const QString& t) { statuses << t; });
        QSignalSpy finished(&burner, &FlashBurner::finished);
        BurnRequest request;
        request.hexPath = writeFile(file);
        request.erase = true;
        burner.burn(request);
        QVERIFY(finished.wait(kWaitMs));
        const auto result = finished.first().first().value<FlashResult>();
        QVERIFY(result.deviceConfirmed());
        QCOMPARE(statuses.last(), QStringLiteral("Flash Burning Succeeded"));
        // Each line once: no answer went astray and no line was sent twice.
        QCOMPARE(device.recordsReceived(), lines);
        QCOMPARE(device.records(), linesOf(file));
        QCOMPARE(device.image().bytes(), *sim::hexFileImage(linesOf(file)));
    }

    void aSilentBootloaderIsReportedAfterFourTries()
    {
        sim::SimulatedLine line;
        QVERIFY(line.isValid());
        line.simulator().bootloader().dropAnswers = 4;
        serial::QtByteLink link;
        QVERIFY(link.open(line.devicePath(), QStringLiteral("115200,n,8,1")));
        FlashTimings quick;
        quick.answerLimitMs = 100;
        quick.commandPauseMs = 10;
        quick.retryQuietMs = 50;
        FlashBurner burner(link, quick);
        QStringList statuses;
        connect(&burner, &FlashBurner::statusChanged, this, [&statuses](const QString& t) { statuses << t; });
        QSignalSpy finished(&burner, &FlashBurner::finished);
        burner.testFlash();
        QVERIFY(finished.wait(kWaitMs));
        QVERIFY(!finished.first().first().value<FlashResult>().accepted);
        QCOMPARE(statuses.last(), QStringLiteral("Error - Retry Four Times: >B1, no answer"));
        QTRY_COMPARE(line.simulator().bootloader().commandsReceived(), 4);
    }
};

QTEST_GUILESS_MAIN(TestFlashLine)
#include "tst_flash_line.moc"
