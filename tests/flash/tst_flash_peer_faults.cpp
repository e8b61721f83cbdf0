// A burn against bootloaders that lie over a real pseudo-terminal: answers late, lost, twice, or
// preceded by the program's own message echoed back. Whatever the peer does, a burn ends either as a
// failure or with every line accepted by its own answer; a retried line may reach the device twice.
#include "flash/flash_burner.h"
#include "flash/flash_texts.h"
#include "serial/own_echo.h"
#include "serial/qt_byte_link.h"
#include "sim/intel_hex.h"
#include "support/scripted_flash_peer.h"
#include "support/text_lines.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using namespace velto::flash;
using velto::test::linesOf;

namespace {
constexpr int kLines = 8;
constexpr int kAnswerLimitMs = 600;
// Past the answer limit, and well inside the quiet a retry waits for.
constexpr int kLateMs = kAnswerLimitMs + 100;
constexpr int kRetryQuietMs = 400;
// Against hangs only.
constexpr int kWaitMs = 60000;

// Records as the device took them, a record taken twice in a row (a retry) counted once.
QList<QByteArray> withoutRepeats(const QList<QByteArray>& records)
{
    QList<QByteArray> out;
    for (const QByteArray& r : records) {
        if (out.isEmpty() || out.last() != r)
            out << r;
    }
    return out;
}
} // namespace

class TestFlashPeerFaults : public QObject {
    Q_OBJECT

private slots:
    void aBurnProvesEveryAnswer_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<bool>("succeeds");
        // How a failure is told: the start of the status text, and a part of it.
        QTest::addColumn<QString>("statusStart");
        QTest::addColumn<QString>("statusPart");
        QTest::newRow("answers line 3 late, refuses line 4")
            << "late 3, refuse 4" << false << kRetryFourTimesText << "line ";
        QTest::newRow("answers everything twice") << "twice" << false << kOutOfStepText << "";
        QTest::newRow("echoes what it hears") << "echo" << false << kRetryFourTimesText << serial::kEchoHint;
        QTest::newRow("answers line 3 late once") << "late 3 once" << true << kBurnSucceededText << "";
        QTest::newRow("loses the answer to line 3") << "lose 3" << true << kBurnSucceededText << "";
        QTest::newRow("refuses line 3 once") << "refuse 3 once" << true << kBurnSucceededText << "";
        QTest::newRow("answers slowly, in time") << "slow" << true << kBurnSucceededText << "";
        QTest::newRow("splits its answers") << "split" << true << kBurnSucceededText << "";
    }
    void aBurnProvesEveryAnswer()
    {
        QFETCH(QString, peer);
        QFETCH(bool, succeeds);
        QFETCH(QString, statusStart);
        QFETCH(QString, statusPart);

        QTemporaryDir dir;
        const QByteArray file = sim::sampleHexFile(kLines, 5);
        const QList<QByteArray> lines = linesOf(file);
        QFile hex(dir.filePath("firmware.hex"));
        QVERIFY(hex.open(QIODevice::WriteOnly) && hex.write(file) == file.size());
        hex.close();

        test::ScriptedFlashPeer bootloader;
        QVERIFY(bootloader.isValid());
        sim::BootloaderResponder& device = bootloader.device;
        if (peer == "late 3, refuse 4") {
            device.recordDelaysMs[lines[2]] = QList<int>(FlashExchange::kMaxTries, kLateMs);
            device.recordCodes[lines[3]] = 0xA2;
        } else if (peer == "twice") {
            device.answerCopies = 2;
        } else if (peer == "echo") {
            bootloader.echo = true;
        } else if (peer == "late 3 once") {
            device.recordDelaysMs[lines[2]] = { kLateMs };
        } else if (peer == "lose 3") {
            device.recordDelaysMs[lines[2]] = { -1 };
        } else if (peer == "refuse 3 once") {
            device.forcedLineCodes = { 0xA3, 0xA3, 0xA2 };
        } else if (peer == "slow") {
            device.answerDelayMs = kAnswerLimitMs / 4;
        } else if (peer == "split") {
            device.splitGapMs = kAnswerLimitMs / 4;
        }

        serial::QtByteLink link;
        QVERIFY2(link.open(bootloader.devicePath(), "115200,n,8,1"), qPrintable(link.errorText()));
        FlashTimings timings;
        timings.answerLimitMs = kAnswerLimitMs;
        timings.commandPauseMs = 0;
        timings.slowWritePauseMs = 0;
        timings.finishPauseMs = kRetryQuietMs;
        timings.retryQuietMs = kRetryQuietMs;
        FlashBurner burner(link, timings);
        QString status;
        connect(&burner, &FlashBurner::statusChanged, this, [&status](const QString& t) { status = t; });
        QSignalSpy finished(&burner, &FlashBurner::finished);
        BurnRequest request;
        request.hexPath = hex.fileName();
        burner.burn(request);
        QVERIFY(finished.wait(kWaitMs));
        const auto result = finished.first().first().value<FlashResult>();

        QCOMPARE(result.accepted, succeeds);
        QCOMPARE(result.deviceConfirmed(), succeeds);
        QVERIFY2(status.startsWith(statusStart), qPrintable(status));
        QVERIFY2(status.contains(statusPart), qPrintable(status));
        if (succeeds) {
            QCOMPARE(result.linesAccepted, kLines);
            QCOMPARE(withoutRepeats(device.records()), lines);
        } else {
            QVERIFY(status != kBurnSucceededText);
            QVERIFY(result.linesAccepted < kLines || status.startsWith(kOutOfStepText));
        }
        if (peer == "echo") {
            // Our own ">B0" came back each time: no line went out.
            QCOMPARE(device.commandsReceived(), FlashExchange::kMaxTries);
            QCOMPARE(device.recordsReceived(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestFlashPeerFaults)
#include "tst_flash_peer_faults.moc"
