#include "traffic/modbus_frame_decoder.h"

#include <QTest>

using namespace velto::traffic;

Q_DECLARE_METATYPE(velto::traffic::Direction)

class TstModbusFrameDecoder : public QObject {
    Q_OBJECT
private slots:
    void summaries_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("summary");

        QTest::newRow("read request") << QByteArray::fromHex("01030000000305CB") << Direction::Tx
                                      << "slave 1: read holding registers R0..R2 (3), CRC ok";
        QTest::newRow("read of one input register") << QByteArray::fromHex(
            "020400330001C1F6") << Direction::Tx << "slave 2: read input registers R51 (1), CRC ok";
        QTest::newRow("answer without its request")
            << QByteArray::fromHex("010306000A0014001E7978") << Direction::Rx
            << "slave 1: 3 registers = 10, 20, 30, CRC ok";
        QTest::newRow("exception")
            << QByteArray::fromHex("018302C0F1") << Direction::Rx
            << "slave 1: exception Illegal Data Address (exception 2) to function 3, CRC ok";
        QTest::newRow("illegal function probe answered")
            << QByteArray::fromHex("01C101B050") << Direction::Rx
            << "slave 1: exception Illegal Function (exception 1) to function 65, CRC ok";
        QTest::newRow("write single") << QByteArray::fromHex("0106003303E8797B") << Direction::Tx
                                      << "slave 1: write R51 = 1000, CRC ok";
        QTest::newRow("write single echoed") << QByteArray::fromHex("0106003303E8797B") << Direction::Rx
                                             << "slave 1: wrote R51 = 1000, CRC ok";
        QTest::newRow("write multiple") << QByteArray::fromHex("011000330002040001000260AF") << Direction::Tx
                                        << "slave 1: write R51..R52 = 1, 2, CRC ok";
        QTest::newRow("write multiple answered") << QByteArray::fromHex("011000330002B1C7") << Direction::Rx
                                                 << "slave 1: wrote R51..R52 (2), CRC ok";
        QTest::newRow("unknown function") << QByteArray::fromHex("0141003300050A88C2") << Direction::Tx
                                          << "slave 1: function 0x41, 5 data bytes, CRC ok";
        QTest::newRow("read request one byte short") << QByteArray::fromHex(
            "01030000001984") << Direction::Tx << "slave 1: function 3, malformed (3 data bytes), CRC ok";
        QTest::newRow("answer whose byte count lies") << QByteArray::fromHex(
            "01030600013845") << Direction::Rx << "slave 1: function 3, malformed (3 data bytes), CRC ok";
        QByteArray corrupt = QByteArray::fromHex("01030000000305CB");
        corrupt[corrupt.size() - 1] = char(corrupt.back() ^ 0x01);
        QTest::newRow("bad CRC")
            << corrupt << Direction::Tx
            << "slave 1: read holding registers R0..R2 (3), CRC bad (0xca05 on the line, "
               "0xcb05 computed)";
        QTest::newRow("too short") << QByteArray::fromHex("0103AB") << Direction::Rx
                                   << "too short for a Modbus frame (3 bytes)";
        QTest::newRow("nothing") << QByteArray() << Direction::Rx << "too short for a Modbus frame (0 bytes)";
    }
    void summaries()
    {
        QFETCH(QByteArray, frame);
        QFETCH(Direction, direction);
        QFETCH(QString, summary);
        QCOMPARE(decodeModbusRtu(frame, direction).summary, summary);
    }

    // An answer is read against the request before it: its registers get their numbers, but only
    // when it answers that slave, that function and that count.
    void answersAreReadAgainstTheirRequest()
    {
        const ModbusFrameInfo request
            = decodeModbusRtu(QByteArray::fromHex("0103003300023404"), Direction::Tx);
        QVERIFY(request.request);
        QCOMPARE(request.request->start, quint16(51));
        QCOMPARE(request.request->count, quint16(2));

        const QByteArray answer = QByteArray::fromHex("010304006400657BC7");
        QCOMPARE(decodeModbusRtu(answer, Direction::Rx, request.request).summary,
            QString("slave 1: R51..R52 = 100, 101, CRC ok"));
        const QByteArray otherSlave = QByteArray::fromHex("0203040064006548C7");
        QCOMPARE(decodeModbusRtu(otherSlave, Direction::Rx, request.request).summary,
            QString("slave 2: 2 registers = 100, 101, CRC ok"));
        const QByteArray shortAnswer = QByteArray::fromHex("0103020064B9AF");
        QCOMPARE(decodeModbusRtu(shortAnswer, Direction::Rx, request.request).summary,
            QString("slave 1: 1 register = 100, CRC ok"));

        const ModbusFrameInfo exception = decodeModbusRtu(QByteArray::fromHex("018302C0F1"), Direction::Rx);
        QVERIFY(exception.exception);
        QVERIFY(exception.crcOk);
        // A request with a bad CRC is discarded by the slave, so nothing answers it.
        QByteArray corrupt = QByteArray::fromHex("0103003300023404");
        corrupt[2] = 0x7F;
        QVERIFY(!decodeModbusRtu(corrupt, Direction::Tx).request);
    }

    // Long reads show the first values only, so a row stays readable.
    void longAnswersAreCut()
    {
        QByteArray answer = QByteArray::fromHex("0103");
        answer.append(char(40));
        for (int i = 0; i < 20; ++i)
            answer.append(QByteArray::fromHex("0001"));
        answer.append(QByteArray::fromHex("0FD0")); // its CRC
        const QString summary = decodeModbusRtu(answer, Direction::Rx).summary;
        QVERIFY(summary.contains("20 registers = 1, 1"));
        QVERIFY(summary.contains(", ..., CRC ok"));
        QCOMPARE(summary.count(", 1"), 15);
    }
};

QTEST_GUILESS_MAIN(TstModbusFrameDecoder)
#include "tst_modbus_frame_decoder.moc"
