#include "flash/flash_burner.h"
#include "sim/intel_hex.h"
#include "support/simulator_link.h"
#include "support/stand_in_converter.h"
#include "support/text_lines.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using namespace velto::flash;
using velto::test::linesOf;
using velto::test::SimulatorLink;

namespace {
constexpr int kWaitMs = 60000;
constexpr int kShortMs = 30;

FlashTimings quickTimings()
{
    FlashTimings t;
    t.answerLimitMs = 5000;
    t.commandPauseMs = 0;
    t.slowWritePauseMs = kShortMs;
    t.finishPauseMs = 0;
    t.retryQuietMs = 0;
    return t;
}
} // namespace

class TestFlashBurner : public QObject {
    Q_OBJECT

    QTemporaryDir* dir = nullptr;
    SimulatorLink* link = nullptr;
    FlashBurner* burner = nullptr;
    QStringList statuses;
    QStringList transcript;
    QStringList boxes;
    int progressMax = 0;
    int progressValue = 0;
    bool progressVisible = false;

    sim::BootloaderResponder& device() { return link->simulator.bootloader(); }

    void makeBurner(const FlashTimings& timings)
    {
        delete burner;
        burner = new FlashBurner(*link, timings);
        connect(burner, &FlashBurner::statusChanged, this, [this](const QString& t) { statuses << t; });
        connect(burner, &FlashBurner::transcriptEntry, this, [this](const QString& t) { transcript << t; });
        connect(burner, &FlashBurner::messageBox, this,
            [this](
                const QString& text, const QString& title, Prompter::Icon) { boxes << title + "|" + text; });
        connect(
            burner, &FlashBurner::progressRangeChanged, this, [this](int, int max) { progressMax = max; });
        connect(burner, &FlashBurner::progressChanged, this, [this](int v) { progressValue = v; });
        connect(burner, &FlashBurner::progressVisibleChanged, this, [this](bool v) { progressVisible = v; });
    }

    QString writeFile(const QByteArray& content, const QString& name = QStringLiteral("firmware.hex"))
    {
        const QString path = dir->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(content);
        return path;
    }

    FlashResult burnAndWait(const BurnRequest& request)
    {
        QSignalSpy finished(burner, &FlashBurner::finished);
        burner->burn(request);
        if (finished.isEmpty() && !finished.wait(kWaitMs))
            return {};
        return finished.first().first().value<FlashResult>();
    }

    FlashResult burnFile(const QByteArray& content, bool erase = false)
    {
        BurnRequest request;
        request.hexPath = writeFile(content);
        request.erase = erase;
        return burnAndWait(request);
    }

private slots:
    void init()
    {
        dir = new QTemporaryDir;
        QVERIFY(dir->isValid());
        link = new SimulatorLink;
        statuses.clear();
        transcript.clear();
        boxes.clear();
        progressMax = progressValue = 0;
        makeBurner(quickTimings());
    }
    void cleanup()
    {
        delete burner;
        burner = nullptr;
        delete link;
        delete dir;
    }

    void burnsEveryLineIntoTheBootloader()
    {
        const QByteArray file = sim::sampleHexFile(50);
        const FlashResult result = burnFile(file);
        QVERIFY(result.accepted);
        QVERIFY(result.deviceConfirmed());
        const QList<QByteArray> lines = linesOf(file);
        QCOMPARE(device().records(), lines);
        QCOMPARE(link->written.first(), QByteArray(">B0"));
        QCOMPARE(link->written.mid(1), lines);
        QCOMPARE(transcript.mid(0, 4), (QStringList { ">B0", "<B7", QString::fromLatin1(lines[0]), ":A3" }));
        QCOMPARE(transcript.last(), QStringLiteral(":A5"));
        QCOMPARE(statuses.first(), QString());
        QCOMPARE(statuses.last(), QStringLiteral("Flash Burning Succeeded"));
        QVERIFY(statuses.contains("End of File"));
        QCOMPARE(progressMax, 50);
        QCOMPARE(progressValue, 50);
        QVERIFY(!progressVisible);
        QVERIFY(!burner->isBusy());
    }

    void eraseComesFirstAndItsFailureDoesNotStopTheBurn_data()
    {
        QTest::addColumn<bool>("eraseFails");
        QTest::newRow("erase succeeds") << false;
        QTest::newRow("erase fails") << true;
    }
    void eraseComesFirstAndItsFailureDoesNotStopTheBurn()
    {
        QFETCH(bool, eraseFails);
        if (eraseFails)
            device().forcedCommandCodes.append(0xB6);
        const QByteArray file = sim::sampleHexFile(5);
        const FlashResult result = burnFile(file, true);
        QCOMPARE(link->written.first(), QByteArray(">B4"));
        QCOMPARE(link->written.at(1), QByteArray(">B0"));
        QCOMPARE(statuses.at(1), QStringLiteral("Flash Erase in Progress..."));
        QVERIFY(statuses.contains(eraseFails ? "Flash Erase Failed" : "Flash Erase Succeeded"));
        // The burn went on, but neither the window nor a command line calls a failed erase a success.
        QCOMPARE(statuses.last(),
            eraseFails ? QStringLiteral("Flash Burning Ended Without A Successful Erase")
                       : QStringLiteral("Flash Burning Succeeded"));
        QVERIFY(result.accepted);
        QCOMPARE(device().records(), linesOf(file));
        QCOMPARE(result.deviceConfirmed(), !eraseFails);
    }

    void fourRejectionsEndTheBurn()
    {
        for (int i = 0; i < 4; ++i)
            device().forcedLineCodes.append(0xA2);
        const QByteArray file = sim::sampleHexFile(10);
        const FlashResult result = burnFile(file);
        QVERIFY(!result.accepted);
        QVERIFY(!result.deviceConfirmed());
        const QByteArray first = linesOf(file).first();
        QCOMPARE(link->written, (QList<QByteArray> { ">B0", first, first, first, first }));
        QCOMPARE(statuses.last(),
            QStringLiteral("Error - Retry Four Times: line 1 of 10, answer :A2 (Incorrect Checksum)"));
        QVERIFY(!progressVisible);
        QVERIFY(!burner->isBusy());
    }

    void endOfProgramSendsTheSameLineAgain()
    {
        device().forcedLineCodes = { 0xA3, 0xA6 };
        const QByteArray file = sim::sampleHexFile(4);
        const QList<QByteArray> lines = linesOf(file);
        QVERIFY(burnFile(file).accepted);
        QCOMPARE(
            link->written.mid(1), (QList<QByteArray> { lines[0], lines[1], lines[1], lines[2], lines[3] }));
        QVERIFY(transcript.contains(":A6"));
        QCOMPARE(device().records(), lines);
    }

    void slowWriteAndLateOrSplitAnswersAreAccepted_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("splitMs");
        QTest::addColumn<bool>("slowWrite");
        QTest::newRow("late") << kShortMs << 0 << false;
        QTest::newRow("split") << 0 << kShortMs << false;
        QTest::newRow("slow write") << 0 << 0 << true;
    }
    void slowWriteAndLateOrSplitAnswersAreAccepted()
    {
        QFETCH(int, delayMs);
        QFETCH(int, splitMs);
        QFETCH(bool, slowWrite);
        device().answerDelayMs = delayMs;
        device().splitGapMs = splitMs;
        if (slowWrite)
            device().forcedLineCodes = { 0xA4 };
        const QByteArray file = sim::sampleHexFile(3);
        QVERIFY(burnFile(file).accepted);
        // One try per message: no answer was taken for a failure.
        QCOMPARE(link->written.size(), 4);
        QCOMPARE(device().records(), linesOf(file));
        QCOMPARE(transcript.contains(":A4"), slowWrite);
    }

    void aFileThatCannotBeReadSendsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        const QByteArray data = ":0400000001020304F2\r\n";
        const QByteArray end = ":00000001FF\r\n";
        QTest::newRow("missing") << "" << QByteArray() << "Cannot read the HEX file";
        QTest::newRow("empty") << "empty.hex" << QByteArray("\r\n\r\n") << "holds no lines";
        QTest::newRow("no end-of-file record")
            << "f.hex" << data + data << "line 2, the last, is not the end-of-file record";
        QTest::newRow("bad checksum on line 3") << "f.hex" << data + data + ":0400000001020304F3\r\n" + end
                                                << "line 3 has a bad checksum (F3 where the record needs F2)";
        QTest::newRow("a record after the end")
            << "f.hex" << data + end + data << "line 3 comes after the end-of-file record on line 2";
        QTest::newRow("two end records")
            << "f.hex" << data + end + end << "line 3 comes after the end-of-file record on line 2";
        QTest::newRow("lines counted as the file has them, blank ones too")
            << "f.hex"
            << "\r\n" + data + "\n\n:04000000010203G4F2\r\n" + end
            << "line 5 holds a character that is not a hexadecimal digit";
        QTest::newRow("truncated record") << "f.hex" << data + ":04000000010203\r\n" + end
                                          << "line 2 carries 2 data bytes where its byte count says 4";
        QTest::newRow("unknown record type")
            << "f.hex"
            << ":00000007F9\r\n" + end << "line 1 has the unknown record type 07";
        QTest::newRow("address record of the wrong size")
            << "f.hex"
            << ":0300000400000FEA\r\n" + end << "type 04 with 3 data bytes, where that type carries 2";
        QTest::newRow("no start code") << "f.hex"
                                       << "0400000001020304F2\r\n" + end << "line 1 does not start with ':'";
    }
    void aFileThatCannotBeReadSendsNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        BurnRequest request;
        request.erase = true;
        request.hexPath = name.isEmpty() ? dir->filePath("missing.hex") : writeFile(content, name);
        const FlashResult result = burnAndWait(request);
        QVERIFY(!result.accepted);
        // Not even the erase: the device saw nothing, no ">B0" least of all.
        QVERIFY(link->written.isEmpty());
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().contains(reason), qPrintable(boxes.first()));
        QVERIFY(!progressVisible);
        QVERIFY(!burner->isBusy());
    }

    void theConverterRunsBeforeTheFileIsRead()
    {
        // The stand-in leaves a different firmware at the same path.
        const QByteArray converted = sim::sampleHexFile(7, 99);
        const QString convertedPath = writeFile(converted, "converted.hex");
        const QString converter
            = test::writeStandInConverter(dir->path(), QStringLiteral("cp '%1' \"$1\"").arg(convertedPath));
        QSignalSpy running(burner, &FlashBurner::converterRunning);
        BurnRequest request;
        request.hexPath = writeFile(sim::sampleHexFile(20));
        request.runConverter = true;
        request.converterProgram = converter;
        QVERIFY(burnAndWait(request).accepted);
        QCOMPARE(test::standInConverterRuns(dir->path()), QStringList { request.hexPath });
        QCOMPARE(device().records(), linesOf(converted));
        QCOMPARE(running.size(), 2);
        QCOMPARE(running[0][0].toBool(), true);
        QCOMPARE(running[1][0].toBool(), false);
        QVERIFY(boxes.isEmpty());
    }

    void aConverterThatCannotStartLeavesTheFileAsItIs()
    {
        const QByteArray file = sim::sampleHexFile(6);
        BurnRequest request;
        request.hexPath = writeFile(file);
        request.runConverter = true;
        request.converterProgram = dir->filePath("no-such-converter");
        QSignalSpy running(burner, &FlashBurner::converterRunning);
        QVERIFY(burnAndWait(request).accepted);
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith("Error|Error starting task " + request.converterProgram + "\n"),
            qPrintable(boxes.first()));
        QVERIFY(boxes.first().size()
            > QString("Error|Error starting task " + request.converterProgram + "\n").size());
        QCOMPARE(running.size(), 0);
        QCOMPARE(device().records(), linesOf(file));
    }

    void aConverterThatFailsStopsTheBurn_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("reason");
        // Each cuts the file short first: what it leaves must not be burnt.
        const QString cut = QStringLiteral("head -n 3 \"$1\" > \"$1.part\" && mv \"$1.part\" \"$1\"\n");
        QTest::newRow("ends with status 3") << cut + "exit 3"
                                            << "ended with status 3";
        QTest::newRow("killed") << cut + "kill -KILL $$"
                                << "was killed before it ended";
        QTest::newRow("cut short, status 0, no end record") << cut << "is not the end-of-file record";
    }
    void aConverterThatFailsStopsTheBurn()
    {
        QFETCH(QString, script);
        QFETCH(QString, reason);
        BurnRequest request;
        request.hexPath = writeFile(sim::sampleHexFile(20));
        request.erase = true;
        request.runConverter = true;
        request.converterProgram = test::writeStandInConverter(dir->path(), script);
        const FlashResult result = burnAndWait(request);
        QVERIFY(!result.accepted);
        QVERIFY(link->written.isEmpty());
        QCOMPARE(device().commandsReceived(), 0);
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().contains(reason), qPrintable(boxes.first()));
        QVERIFY2(boxes.first().contains("Nothing was sent", Qt::CaseInsensitive), qPrintable(boxes.first()));
        QCOMPARE(result.converterFailed, !reason.contains("end-of-file"));
        QVERIFY(!burner->isBusy());
    }

    void aConverterStoppedMidRunDoesNotHoldUpTheNextBurn()
    {
        QTemporaryDir slowDir;
        QVERIFY(slowDir.isValid());
        BurnRequest request;
        request.hexPath = writeFile(sim::sampleHexFile(5));
        request.runConverter = true;
        request.converterProgram
            = test::writeStandInConverter(slowDir.path(), QStringLiteral("exec sleep 60"));
        QSignalSpy running(burner, &FlashBurner::converterRunning);
        QSignalSpy finished(burner, &FlashBurner::finished);
        burner->burn(request);
        QVERIFY(running.wait(kWaitMs));
        burner->stop();
        QCOMPARE(finished.size(), 1);
        QVERIFY(finished.first().first().value<FlashResult>().stopped);
        // The killed converter may not have ended yet; the next one must start all the same.
        request.converterProgram = test::writeStandInConverter(dir->path());
        QVERIFY(burnAndWait(request).deviceConfirmed());
        QCOMPARE(test::standInConverterRuns(dir->path()), QStringList { request.hexPath });
        QCOMPARE(device().records().size(), 5);
    }

    void stopLeavesNothingRunning()
    {
        QSignalSpy finished(burner, &FlashBurner::finished);
        connect(burner, &FlashBurner::progressChanged, this, [this](int line) {
            if (line == 10)
                burner->stop();
        });
        BurnRequest request;
        request.hexPath = writeFile(sim::sampleHexFile(100));
        burner->burn(request);
        QVERIFY(finished.wait(kWaitMs));
        const auto result = finished.first().first().value<FlashResult>();
        QVERIFY(result.stopped);
        QVERIFY(!result.deviceConfirmed());
        QCOMPARE(result.stopText,
            QStringLiteral(
                "Flash burning was aborted after 9 of 100 lines: the sensor's flash is incomplete."));
        QCOMPARE(transcript.last(), result.stopText);
        QCOMPARE(statuses.last(), QStringLiteral("Flash Burning Aborted - Flash Incomplete"));
        QVERIFY(!burner->isBusy());
        QCOMPARE(burner->exchange().state(), FlashExchange::State::Idle);
        for (const QTimer* timer : burner->findChildren<QTimer*>())
            QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
        // A stray answer now starts nothing.
        const qsizetype sent = link->written.size();
        link->inject(":\xA3");
        QTRY_VERIFY(link->bytesAvailable() > 0);
        QCOMPARE(link->written.size(), sent);
        QCOMPARE(finished.size(), 1);
    }

    // A listener that stops the burn while a signal is out hears nothing more of it, and nothing
    // more is sent: the stop is the last word.
    void aListenerStopsAtAnySignal_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<bool>("erase");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("stopText");
        const QString aborted = "Flash Burning Aborted - Flash Incomplete";
        QTest::newRow("busy") << "busy" << false << QList<QByteArray> {} << "Flash Burning Stopped"
                              << "Flash burning was stopped before anything was sent to the device.";
        QTest::newRow("erase status")
            << "status:Flash Erase in Progress..." << true << QList<QByteArray> {} << aborted
            << "Flash burning was aborted during the erase: the sensor's flash is incomplete.";
        QTest::newRow("start in the transcript")
            << "transcript:>B0" << false << QList<QByteArray> { ">B0" } << aborted
            << "Flash burning was aborted after 0 of 3 lines: the sensor's flash is incomplete.";
        QTest::newRow("first answer mark")
            << "transcript::A3" << false << QList<QByteArray> { ">B0", ":020000040000FA" } << aborted
            << "Flash burning was aborted after 0 of 3 lines: the sensor's flash is incomplete.";
        QTest::newRow("second line on the bar")
            << "progress:2" << false << QList<QByteArray> { ">B0", ":020000040000FA" } << aborted
            << "Flash burning was aborted after 1 of 3 lines: the sensor's flash is incomplete.";
    }
    void aListenerStopsAtAnySignal()
    {
        QFETCH(QString, at);
        QFETCH(bool, erase);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(QString, status);
        QFETCH(QString, stopText);
        auto stopAt = [this, at](const QString& what) {
            if (what == at)
                burner->stop();
        };
        connect(burner, &FlashBurner::busyChanged, this, [stopAt](bool on) { stopAt(on ? "busy" : ""); });
        connect(
            burner, &FlashBurner::statusChanged, this, [stopAt](const QString& t) { stopAt("status:" + t); });
        connect(burner, &FlashBurner::transcriptEntry, this,
            [stopAt](const QString& t) { stopAt("transcript:" + t); });
        connect(burner, &FlashBurner::progressChanged, this,
            [stopAt](int v) { stopAt("progress:" + QString::number(v)); });
        QSignalSpy finished(burner, &FlashBurner::finished);
        const FlashResult result = burnFile(sim::sampleHexFile(3), erase);
        QCOMPARE(finished.size(), 1);
        QVERIFY(result.stopped);
        QCOMPARE(result.stopText, stopText);
        QCOMPARE(statuses.last(), status);
        QCOMPARE(transcript.last(), stopText);
        QVERIFY(!progressVisible);
        QCOMPARE(link->written, sent);
        QCOMPARE(burner->exchange().state(), FlashExchange::State::Idle);
        for (const QTimer* timer : burner->findChildren<QTimer*>())
            QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
    }

    void aPortLostMidBurnEndsIt()
    {
        connect(burner, &FlashBurner::progressChanged, this, [this](int line) {
            if (line == 3)
                link->failWrites = true;
        });
        const FlashResult result = burnFile(sim::sampleHexFile(10));
        QVERIFY(!result.accepted);
        QCOMPARE(boxes, QStringList { "|Flash Burning Error Occurs" });
        QCOMPARE(link->written.size(), 3); // ">B0" and two lines
        QVERIFY(!burner->isBusy());
    }

    void noLineLimit()
    {
        constexpr int kLines = 33000;
        const QByteArray file = sim::sampleHexFile(kLines);
        QVERIFY(burnFile(file).accepted);
        QCOMPARE(progressMax, kLines);
        QCOMPARE(progressValue, kLines);
        QCOMPARE(device().records(), linesOf(file));
    }

    void standAloneCommands_data()
    {
        QTest::addColumn<bool>("erase");
        QTest::addColumn<int>("forced"); // 0: the device's own answer
        QTest::addColumn<QString>("progressText");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("erase") << true << 0 << "Flash Erase in Progress..."
                               << "Flash Erase Succeeded" << true;
        QTest::newRow("erase failed") << true << 0xB6 << "Flash Erase in Progress..."
                                      << "Flash Erase Failed" << false;
        QTest::newRow("test") << false << 0 << "Flash Test in Progress..."
                              << "Flash Test Succeeded" << true;
        QTest::newRow("test failed") << false << 0xB3 << "Flash Test in Progress..."
                                     << "Flash Test Failed" << false;
        QTest::newRow("test, other code") << false << int('Z') << "Flash Test in Progress..."
                                          << "Flash Test Answered With An Unknown Code (0x5A)" << false;
        QTest::newRow("erase, other code") << true << int('Z') << "Flash Erase in Progress..."
                                           << "Flash Erase Answered With An Unknown Code (0x5A)" << false;
    }
    void standAloneCommands()
    {
        QFETCH(bool, erase);
        QFETCH(int, forced);
        QFETCH(QString, progressText);
        QFETCH(QString, status);
        QFETCH(bool, confirmed);
        if (forced)
            device().forcedCommandCodes.append(quint8(forced));
        QSignalSpy finished(burner, &FlashBurner::finished);
        if (erase)
            burner->eraseFlash();
        else
            burner->testFlash();
        QVERIFY(burner->isBusy());
        QVERIFY(finished.wait(kWaitMs));
        const auto result = finished.first().first().value<FlashResult>();
        QVERIFY(result.accepted);
        QCOMPARE(result.deviceConfirmed(), confirmed);
        QCOMPARE(link->written, QList<QByteArray> { erase ? ">B4" : ">B1" });
        QCOMPARE(statuses.first(), progressText);
        QCOMPARE(statuses.last(), status);
        QCOMPARE(transcript.size(), 2);
    }

    void aSilentDeviceIsTriedFourTimes()
    {
        FlashTimings t = quickTimings();
        t.answerLimitMs = kShortMs;
        makeBurner(t);
        device().dropAnswers = 4;
        QSignalSpy finished(burner, &FlashBurner::finished);
        burner->eraseFlash();
        QVERIFY(finished.wait(kWaitMs));
        QVERIFY(!finished.first().first().value<FlashResult>().accepted);
        QCOMPARE(link->written.size(), 4);
        QCOMPARE(statuses.last(), QStringLiteral("Error - Retry Four Times: >B4, no answer"));
        QVERIFY(!burner->isBusy());
    }

    void oneOperationAtATime()
    {
        BurnRequest request;
        request.hexPath = writeFile(sim::sampleHexFile(5));
        QSignalSpy finished(burner, &FlashBurner::finished);
        burner->burn(request);
        burner->eraseFlash();
        burner->burn(request);
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(link->written.size(), 6);
        QVERIFY(!link->written.contains(">B4"));
    }
};

QTEST_GUILESS_MAIN(TestFlashBurner)
#include "tst_flash_burner.moc"
