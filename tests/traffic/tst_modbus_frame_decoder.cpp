#include "modbus/modbus_crc.h"
#include "traffic/modbus_frame_decoder.h"

#include <QTest>

using namespace velto::traffic;
using velto::modbus::withModbusCrc;

Q_DECLARE_METATYPE(velto::traffic::Direction)

class TstModbusFrameDecoder : public QObject {
    Q_OBJECT
private slots:
    void summaries_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("summary");

        const auto rtu = [](const char* hex) { return withModbusCrc(QByteArray::fromHex(hex)); };
        QTest::newRow("read request")
            << rtu("010300000003") << Direction::Tx << "slave 1: read holding registers R0..R2 (3), CRC ok";
        QTest::newRow("read of one input register")
            << rtu("020400330001") << Direction::Tx << "slave 2: read input registers R51 (1), CRC ok";
        QTest::newRow("answer without its request")
            << rtu("010306000A0014001E") << Direction::Rx << "slave 1: 3 registers = 10, 20, 30, CRC ok";
        QTest::newRow("exception")
            << rtu("018302") << Direction::Rx
            << "slave 1: exception Illegal Data Address (exception 2) to function 3, CRC ok";
        QTest::newRow("illegal function probe answered")
            << rtu("01C101") << Direction::Rx
            << "slave 1: exception Illegal Function (exception 1) to function 65, CRC ok";
        QTest::newRow("write single")
            << rtu("0106003303E8") << Direction::Tx << "slave 1: write R51 = 1000, CRC ok";
        QTest::newRow("write single echoed")
            << rtu("0106003303E8") << Direction::Rx << "slave 1: wrote R51 = 1000, CRC ok";
        QTest::newRow("write multiple")
            << rtu("0110003300020400010002") << Direction::Tx << "slave 1: write R51..R52 = 1, 2, CRC ok";
        QTest::newRow("write multiple answered")
            << rtu("011000330002") << Direction::Rx << "slave 1: wrote R51..R52 (2), CRC ok";
        QTest::newRow("unknown function")
            << rtu("0141003300050A") << Direction::Tx << "slave 1: function 0x41, 5 data bytes, CRC ok";
        QTest::newRow("read request one byte short")
            << rtu("0103000000") << Direction::Tx << "slave 1: function 3, malformed (3 data bytes), CRC ok";
        QTest::newRow("answer whose byte count lies")
            << rtu("0103060001") << Direction::Rx << "slave 1: function 3, malformed (3 data bytes), CRC ok";
        QByteArray corrupt = rtu("010300000003");
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
            = decodeModbusRtu(withModbusCrc(QByteArray::fromHex("010300330002")), Direction::Tx);
        QVERIFY(request.request);
        QCOMPARE(request.request->start, quint16(51));
        QCOMPARE(request.request->count, quint16(2));

        const QByteArray answer = withModbusCrc(QByteArray::fromHex("01030400640065"));
        QCOMPARE(decodeModbusRtu(answer, Direction::Rx, request.request).summary,
            QString("slave 1: R51..R52 = 100, 101, CRC ok"));
        const QByteArray otherSlave = withModbusCrc(QByteArray::fromHex("02030400640065"));
        QCOMPARE(decodeModbusRtu(otherSlave, Direction::Rx, request.request).summary,
            QString("slave 2: 2 registers = 100, 101, CRC ok"));
        const QByteArray shortAnswer = withModbusCrc(QByteArray::fromHex("0103020064"));
        QCOMPARE(decodeModbusRtu(shortAnswer, Direction::Rx, request.request).summary,
            QString("slave 1: 1 register = 100, CRC ok"));

        const ModbusFrameInfo exception
            = decodeModbusRtu(withModbusCrc(QByteArray::fromHex("018302")), Direction::Rx);
        QVERIFY(exception.exception);
        QVERIFY(exception.crcOk);
        // A request with a bad CRC is discarded by the slave, so nothing answers it.
        QByteArray corrupt = withModbusCrc(QByteArray::fromHex("010300330002"));
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
        const QString summary = decodeModbusRtu(withModbusCrc(answer), Direction::Rx).summary;
        QVERIFY(summary.contains("20 registers = 1, 1"));
        QVERIFY(summary.contains(", ..., CRC ok"));
        QCOMPARE(summary.count(", 1"), 15);
    }
};

QTEST_GUILESS_MAIN(TstModbusFrameDecoder)
#include "tst_modbus_frame_decoder.moc"
