#include "modbus/modbus_crc.h"
#include "sim/intel_hex.h"
#include "sim/manual_clock.h"
#include "sim/sensor_simulator.h"

#include <QTest>

using namespace velto::sim;
using velto::modbus::hasValidModbusCrc;

namespace {
QByteArray answersOf(BootloaderResponder& device)
{
    QByteArray out;
    for (const ScheduledReply& r : device.takeAnswers())
        out += r.bytes;
    return out;
}
const QByteArray kRecord = ":10010000214601360121470136007EFE09D2190140";
} // namespace

class TestBootloaderResponder : public QObject {
    Q_OBJECT

private slots:
    void records_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("data") << kRecord << QByteArray(":\xA3");
        QTest::newRow("lower-case digits") << kRecord.toLower() << QByteArray(":\xA3");
        QTest::newRow("end of file") << QByteArray(":00000001FF") << QByteArray(":\xA5");
        QTest::newRow("bad checksum") << QByteArray(":00000001FE") << QByteArray(":\xA2");
        QTest::newRow("bad digit") << QByteArray(":0000000XFF") << QByteArray(":\xA2");
        QTest::newRow("count says more") << QByteArray(":01000001FF") << QByteArray(":\xA1");
        QTest::newRow("no start code") << QByteArray("00000001FF") << QByteArray(":\xA0");
    }
    void records()
    {
        QFETCH(QByteArray, record);
        QFETCH(QByteArray, answer);
        BootloaderResponder device;
        device.respond(record);
        QCOMPARE(answersOf(device), answer);
        QCOMPARE(device.records().size(), answer == ":\xA3" || answer == ":\xA5" ? 1 : 0);
    }

    void commands()
    {
        BootloaderResponder device;
        device.respond(">B1");
        device.respond(">B4");
        device.respond(">B0");
        device.respond(">B9");
        QCOMPARE(answersOf(device), QByteArray("<\xB2<\xB5<\xB7"));
        QVERIFY(device.ownsLine());
        QCOMPARE(device.commandsReceived(), 4);
    }

    void aBurnOwnsTheLineUntilTheEndOfFile()
    {
        ManualClock clock;
        SensorSimulator simulator(clock);
        BootloaderResponder& device = simulator.bootloader();
        QCOMPARE(simulator.feed(">B0"), QByteArray("<\xB7"));
        // Split anywhere, the record is one record.
        QCOMPARE(simulator.feed(kRecord.first(5)), QByteArray());
        QCOMPARE(simulator.feed(kRecord.sliced(5)), QByteArray(":\xA3"));
        // A line without its start code, or cut short, is answered once the line is quiet.
        QCOMPARE(simulator.feed("0000000"), QByteArray());
        QVERIFY(simulator.awaitsLineIdle());
        QCOMPARE(simulator.lineIdle(), QByteArray(":\xA0"));
        QCOMPARE(simulator.feed(":10"), QByteArray());
        QCOMPARE(simulator.lineIdle(), QByteArray(":\xA1"));
        QVERIFY(!simulator.awaitsLineIdle());
        QCOMPARE(simulator.feed(":00000001FF"), QByteArray(":\xA5"));
        QVERIFY(!device.ownsLine());
        QCOMPARE(device.records(), (QList<QByteArray> { kRecord, ":00000001FF" }));

        // After the burn Modbus requests are the sensors' again.
        const QByteArray read = QByteArray::fromHex("010300000001840A");
        QCOMPARE(simulator.feed(read).left(2), QByteArray::fromHex("0103"));
    }

    void bootloaderFramesAreRoutedBeforeModbus()
    {
        ManualClock clock;
        SensorSimulator simulator(clock);
        const QByteArray read = QByteArray::fromHex("010300000001840A");
        // A command between Modbus requests, all in one read.
        const QByteArray replies = simulator.feed(read + ">B4" + read);
        QVERIFY(replies.contains("<\xB5"));
        QCOMPARE(replies.count(QByteArray::fromHex("0103")), 2);
    }

    void faultKnobs()
    {
        BootloaderResponder device;
        device.dropAnswers = 1;
        device.respond(">B4");
        QVERIFY(device.takeAnswers().isEmpty());

        device.answerDelayMs = 200;
        device.splitGapMs = 50;
        device.respond(kRecord);
        const QList<ScheduledReply> split = device.takeAnswers();
        QCOMPARE(split.size(), 2);
        QCOMPARE(split[0].delayMs, 200);
        QCOMPARE(split[0].bytes, QByteArray(":"));
        QCOMPARE(split[1].delayMs, 250);
        QCOMPARE(split[1].bytes, QByteArray("\xA3"));

        device.answerDelayMs = 0;
        device.splitGapMs = 0;
        device.forcedLineCodes = { 0xA6, 0xA4 };
        device.forcedCommandCodes = { 0xB6 };
        device.respond(kRecord);
        device.respond(kRecord);
        device.respond(">B4");
        QCOMPARE(answersOf(device), QByteArray(":\xA6:\xA4<\xB6"));
        // Dropped and slow-written records were taken; the one refused was not.
        QCOMPARE(device.records().size(), 2);

        // Per record: late, lost, always refused; every answer twice.
        const QByteArray other = ":00000001FF";
        device.recordDelaysMs[kRecord] = { 700, -1 };
        device.recordCodes[other] = 0xA2;
        device.answerCopies = 2;
        device.respond(kRecord);
        device.respond(kRecord);
        device.respond(kRecord);
        device.respond(other);
        const QList<ScheduledReply> answers = device.takeAnswers();
        QCOMPARE(answers.size(), 6);
        QCOMPARE(answers[0].delayMs, 700);
        QCOMPARE(answers[1].delayMs, 700);
        QCOMPARE(answers[2].delayMs, 0); // the second was lost, the third goes at once
        QCOMPARE(answers[4].bytes, QByteArray(":\xA2"));
        QCOMPARE(answers[5].bytes, QByteArray(":\xA2"));
    }

    void aBurnGivenUpHandsTheLineBack_data()
    {
        QTest::addColumn<bool>("reopened");
        QTest::newRow("the port is opened anew") << true;
        QTest::newRow("the line stays quiet") << false;
    }
    void aBurnGivenUpHandsTheLineBack()
    {
        QFETCH(bool, reopened);
        ManualClock clock;
        SensorSimulator simulator(clock);
        QCOMPARE(simulator.feed(">B0"), QByteArray("<\xB7"));
        QCOMPARE(simulator.feed(kRecord), QByteArray(":\xA3"));
        const QByteArray read = QByteArray::fromHex("010300000001840A");
        // A pause within a burn keeps the line the bootloader's.
        clock.advance(BootloaderResponder::kBurnQuietLimitMs);
        QCOMPARE(simulator.feed("x"), QByteArray());
        QVERIFY(simulator.bootloader().ownsLine());
        simulator.lineIdle();
        if (reopened)
            simulator.lineReopened();
        else
            clock.advance(BootloaderResponder::kBurnQuietLimitMs + 1);
        QVERIFY(simulator.feed(read).startsWith(QByteArray::fromHex("0103")));
        QVERIFY(!simulator.bootloader().ownsLine());
    }

    void imageFollowsTheAddressRecords()
    {
        const QByteArray file = sampleHexFile(4200, 7); // crosses a 64 KiB boundary
        QList<QByteArray> lines = file.split('\n');
        lines.removeAll(QByteArray());
        for (QByteArray& l : lines)
            l = l.trimmed();
        QCOMPARE(lines.size(), 4200);
        BootloaderResponder device;
        device.respond(">B0");
        for (const QByteArray& l : lines)
            device.feed(l);
        QCOMPARE(device.records(), lines);
        const auto image = hexFileImage(lines);
        QVERIFY(image);
        QCOMPARE(device.image().bytes(), *image);
        QVERIFY(image->contains(0x10000));
        QCOMPARE(image->size(), (4200 - 3) * 16);
        QVERIFY(!hexFileImage({ ":00000001FE" }));
    }
};

QTEST_GUILESS_MAIN(TestBootloaderResponder)
#include "tst_bootloader_responder.moc"
