#include "sim/velto_ascii.h"
#include "support/radar_bytes.h"
#include "traffic/line_framer.h"

#include <QTest>

using namespace velto::traffic;

namespace {

QStringList summaries(const QList<TrafficRow>& rows)
{
    QStringList out;
    for (const TrafficRow& r : rows)
        out << QStringLiteral("%1 %2: %3")
                   .arg(directionName(r.direction), protocolName(r.protocol), r.summary);
    return out;
}

} // namespace

class TstLineFramer : public QObject {
    Q_OBJECT
private slots:
    // Modbus answers are framed by their request, whole however they come; our own request coming
    // back and bytes no answer is due for are rows of their own.
    void modbusRows_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<bool>("endExchange"); // the master's result comes before the last chunk
        QTest::addColumn<QStringList>("rows"); // after the request's row
        const QByteArray request = QByteArray::fromHex("010300000002C40B");
        const QByteArray answer = QByteArray::fromHex("010304006400657BC7");
        const QString answerRow = "RX Modbus RTU: slave 1: R0..R1 = 100, 101, CRC ok";
        const QString stray = "RX Modbus RTU: stray: no answer is due, dropped";
        QTest::newRow("answer in pieces") << QByteArrayList { answer.first(3), answer.sliced(3, 3),
            answer.sliced(6) } << false << QStringList { answerRow };
        QTest::newRow("bytes right after the answer") << QByteArrayList { answer + QByteArray::fromHex("ff") }
                                                      << false << QStringList { answerRow, stray };
        QTest::newRow("an answer after the exchange ended")
            << QByteArrayList { answer } << true << QStringList { stray };
        QTest::newRow("our own request back first")
            << QByteArrayList { request.first(5), request.sliced(5) + answer } << false
            << QStringList { "RX Modbus RTU: our own frame came back (echo; Remove echo is off)", stray };
        QTest::newRow("another function")
            << QByteArrayList { QByteArray::fromHex("0104020064B8DB") } << false
            << QStringList { "RX Modbus RTU: no answer to the request, dropped" };
    }
    void modbusRows()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(bool, endExchange);
        QFETCH(QStringList, rows);
        LineFramer framer;
        QCOMPARE(summaries(framer.sent(QByteArray::fromHex("010300000002C40B"))),
            QStringList { "TX Modbus RTU: slave 1: read holding registers R0..R1 (2), CRC ok" });
        QList<TrafficRow> got;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            if (endExchange && i == chunks.size() - 1)
                got += framer.exchangeEnded();
            got += framer.received(chunks[i]);
        }
        got += framer.lineQuiet();
        QCOMPARE(summaries(got), rows);
    }

    // A Velto request and its reply arriving in three reads: two rows, the reply whole.
    void veltoExchange()
    {
        LineFramer framer;
        const QByteArray request = QByteArray("!011202010007\r");
        QList<TrafficRow> rows = framer.sent(request);
        QCOMPARE(summaries(rows),
            QStringList { "TX Velto ASCII: request distance (01) of address 1, sensor digit 1" });
        QCOMPARE(rows[0].bytes, request);

        const QByteArray reply = velto::sim::buildVeltoReply({ 1, 0, 1, 1234, 0, false });
        QVERIFY(framer.received(reply.first(5)).isEmpty());
        QVERIFY(framer.received(reply.sliced(5, 5)).isEmpty());
        rows = framer.received(reply.sliced(10));
        QCOMPARE(summaries(rows),
            QStringList { "RX Velto ASCII: distance (01) = 1234, O.K, single sensor, checksum ok" });
        QCOMPARE(rows[0].bytes, reply);
        QVERIFY(!framer.hasPending());

        // A reply one off in its checksum: the row, then a failure of its own.
        QByteArray bad = velto::sim::buildVeltoReply({ 20, 1, 9, 2500, 8, true });
        bad[bad.size() - 2] = char(bad[bad.size() - 2] == '9' ? '0' : bad[bad.size() - 2] + 1);
        framer.sent("!200202090033\r");
        rows = framer.received(bad);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].direction, Direction::Event);
        QVERIFY(rows[1].failure);
        QVERIFY2(rows[1].summary.startsWith("Velto reply with a bad checksum"), qPrintable(rows[1].summary));
    }

    // A request left without an answer shows when the next one goes out; a partial reply shows
    // as it is when the line goes quiet.
    void unansweredAndPartial()
    {
        LineFramer framer;
        framer.sent("!011202010007\r");
        QList<TrafficRow> rows = framer.sent("!010202060012\r");
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[0].failure);
        QCOMPARE(rows[0].summary, QString("No answer to the Velto ASCII request before the next one"));
        QCOMPARE(rows[1].direction, Direction::Tx);

        QVERIFY(framer.received("!0102").isEmpty());
        QVERIFY(framer.hasPending());
        rows = framer.lineQuiet();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].bytes, QByteArray("!0102"));
        QVERIFY(rows[1].failure);
        // An answer, however broken, is an answer.
        QCOMPARE(framer.sent("!011202010007\r").size(), 1);
    }

    // Radar replies are cut into status replies and 68-byte blocks, numbered from the command on;
    // noise before them is a row of its own.
    void radarExchange()
    {
        LineFramer framer;
        QCOMPARE(summaries(framer.sent(velto::test::radarCommandFrame(0x01))),
            QStringList { "TX Radar: Send Status, checksum ok" });
        const QByteArray reply = velto::test::radarStatusReply(0x01, 10000, 30);
        QCOMPARE(summaries(framer.received(QByteArray("\x00\x13", 2) + reply)),
            (QStringList { "RX Radar: 2 bytes, not a whole radar reply or block",
                "RX Radar: reply to Send Status: distance 1.0000 m, S/N 30 dB, checksum ok" }));

        QCOMPARE(summaries(framer.sent(velto::test::radarCommandFrame(0xF4, 0x10))),
            QStringList { "TX Radar: Monitoring, spectrum data, checksum ok" });
        const auto block
            = [](bool last, char fill) { return velto::test::radarBlock(0x3C, last, QByteArray(64, fill)); };
        QByteArray blocks = block(false, 0x11) + block(false, 0x22) + block(true, 0x33);
        blocks[68 + 10] = char(blocks[68 + 10] + 1); // the second block's checksum no longer fits
        QList<TrafficRow> rows;
        for (qsizetype at = 0; at < blocks.size(); at += 50)
            rows += framer.received(
                QByteArrayView(blocks).sliced(at, std::min<qsizetype>(50, blocks.size() - at)));
        QCOMPARE(summaries(rows),
            (QStringList { "RX Radar: spectrum block 1, checksum ok",
                "RX Radar: spectrum block 2, checksum bad",
                "-- Radar: Radar spectrum block 2 with a bad checksum",
                "RX Radar: spectrum block 3 (last), checksum ok" }));

        // A reply to another command than the one sent is a failure.
        framer.sent(velto::test::radarCommandFrame(0x05));
        rows = framer.received(velto::test::radarStatusReply(0x03));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].summary, QString("Radar reply to Track after StandBy was sent"));
    }

    void flashAndCalibration()
    {
        LineFramer framer;
        QCOMPARE(summaries(framer.sent(">B0")), QStringList { "TX Flash: start burning" });
        QCOMPARE(summaries(framer.received("<\xB7")), QStringList { "RX Flash: Flash Start Burn" });
        QCOMPARE(summaries(framer.sent(":10010000214601360121470136007EFE09D2190140")),
            QStringList { "TX Flash: HEX record 00 (data), 16 bytes at 0x0100, checksum ok" });
        QList<TrafficRow> rows = framer.received(":\xA2:");
        QCOMPARE(summaries(rows),
            (QStringList { "RX Flash: Incorrect Checksum", "-- Flash: Flash answer: Incorrect Checksum" }));
        QVERIFY(framer.hasPending()); // the start of the next answer
        QCOMPARE(
            summaries(framer.received("\xA3")), QStringList { "RX Flash: File Transfering... Please Wait" });

        // Calibration messages are never answered, so no "no answer" rows between them.
        QCOMPARE(summaries(framer.sent(QByteArray::fromHex("214246002540"))),
            QStringList { "TX Calibration: 'B' Gain: code bytes 46 00, XOR ok" });
        QCOMPARE(summaries(framer.sent(QByteArray::fromHex("215100017140"))),
            QStringList { "TX Calibration: 'Q' relay 3: on, XOR ok" });
        QCOMPARE(summaries(framer.sent(QByteArray::fromHex("215100017040"))),
            QStringList { "TX Calibration: 'Q' relay 3: on, XOR bad" });
    }

    // The debug line carries one protocol: a row per line of text, whatever the reads.
    void debugLines()
    {
        LineFramer framer(Protocol::Debug);
        QList<TrafficRow> rows = framer.received("ADC 1234\r\nTemp 2");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].protocol, Protocol::Debug);
        QCOMPARE(rows[0].bytes, QByteArray("ADC 1234\r\n"));
        rows = framer.received("5\r\n");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].bytes, QByteArray("Temp 25\r\n"));
    }

    // No row is longer than kMaxRowBytes, in either direction, and no byte is lost or doubled.
    void longRowsAreCut()
    {
        LineFramer debug(Protocol::Debug);
        const QByteArray text(600, 'x');
        QList<TrafficRow> rows = debug.received(text);
        QCOMPARE(rows.size(), 2);
        rows += debug.lineQuiet();
        QCOMPARE(rows.size(), 3);
        QByteArray joined;
        for (const TrafficRow& r : rows) {
            QVERIFY(r.bytes.size() <= LineFramer::kMaxRowBytes);
            joined += r.bytes;
        }
        QCOMPARE(joined, text);

        LineFramer line;
        rows = line.sent(QByteArray(300, '!'));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].bytes.size(), LineFramer::kMaxRowBytes);
        QCOMPARE(rows[1].bytes.size(), 300 - LineFramer::kMaxRowBytes);
    }
};

QTEST_GUILESS_MAIN(TstLineFramer)
#include "tst_line_framer.moc"
