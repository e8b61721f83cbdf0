#include "traffic/row_filter.h"
#include "traffic/row_format.h"
#include "traffic/row_ring.h"

#include <QDateTime>
#include <QTest>

using namespace velto::traffic;

namespace {

TrafficRow row(Direction direction, Protocol protocol, const QByteArray& bytes = {}, bool failure = false)
{
    TrafficRow r;
    r.direction = direction;
    r.protocol = protocol;
    r.bytes = bytes;
    r.failure = failure;
    return r;
}

TrafficRow numbered(int n)
{
    TrafficRow r = row(Direction::Tx, Protocol::VeltoAscii);
    r.sinceConnectMs = n;
    return r;
}

} // namespace

class TstRows : public QObject {
    Q_OBJECT
private slots:
    // The buffer never holds more than its capacity; the oldest rows go first and are counted.
    void ringKeepsTheNewestRows()
    {
        RowRing ring(3);
        QCOMPARE(ring.dropsFor(2), 0);
        for (int n = 1; n <= 2; ++n)
            ring.append(numbered(n));
        QCOMPARE(ring.dropsFor(1), 0);
        QCOMPARE(ring.dropsFor(3), 2);
        for (int n = 3; n <= 7; ++n)
            ring.append(numbered(n));
        QCOMPARE(ring.size(), 3);
        QCOMPARE(ring.dropped(), 4);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ring.at(i).sinceConnectMs, qint64(5 + i));

        ring.clear();
        QVERIFY(ring.isEmpty());
        QCOMPARE(ring.dropped(), 0);
        ring.append(numbered(8));
        QCOMPARE(ring.at(0).sinceConnectMs, qint64(8));
    }

    void ringOfTheDocumentedSize()
    {
        RowRing ring;
        QCOMPARE(ring.capacity(), 50000);
        for (int n = 0; n < 50000 + 10; ++n)
            ring.append(numbered(n));
        QCOMPARE(ring.size(), 50000);
        QCOMPARE(ring.at(0).sinceConnectMs, qint64(10));
        QCOMPARE(ring.at(49999).sinceConnectMs, qint64(50009));
    }

    void filter()
    {
        const TrafficRow tx = row(Direction::Tx, Protocol::ModbusRtu);
        const TrafficRow rx = row(Direction::Rx, Protocol::VeltoAscii);
        const TrafficRow timeout = row(Direction::Event, Protocol::ModbusRtu, {}, true);
        const TrafficRow opened = row(Direction::Event, Protocol::Unknown);

        RowFilter all;
        QVERIFY(all.showsEverything());
        for (const TrafficRow& r : { tx, rx, timeout, opened })
            QVERIFY(all.accepts(r));

        RowFilter txOnly { RowFilter::Directions::Tx, std::nullopt };
        QVERIFY(txOnly.accepts(tx));
        QVERIFY(!txOnly.accepts(rx));
        QVERIFY(!txOnly.accepts(timeout));

        RowFilter failures { RowFilter::Directions::Failures, std::nullopt };
        QVERIFY(failures.accepts(timeout));
        QVERIFY(!failures.accepts(tx));
        QVERIFY(!failures.accepts(opened));

        RowFilter modbus { RowFilter::Directions::All, Protocol::ModbusRtu };
        QVERIFY(modbus.accepts(tx));
        QVERIFY(modbus.accepts(timeout));
        QVERIFY(!modbus.accepts(rx));
        QVERIFY(!modbus.accepts(opened));

        RowFilter veltoRx { RowFilter::Directions::Rx, Protocol::VeltoAscii };
        QVERIFY(veltoRx.accepts(rx));
        QVERIFY(!veltoRx.accepts(tx));
    }

    // One line per row, nine tab-separated fields, whatever the bytes or the summary hold.
    void rowLines()
    {
        TrafficRow r = row(Direction::Rx, Protocol::VeltoAscii, QByteArray("!01\t\r\n\x80~", 8));
        r.wallClockMs = QDateTime(QDate(2024, 5, 1), QTime(14, 3, 7, 125)).toMSecsSinceEpoch();
        r.sinceConnectMs = 12345;
        r.gapMs = 52;
        r.summary = "two\tlines\nin one";
        QCOMPARE(formatRow(r),
            QString(
                "2024-05-01 14:03:07.125\t12.345\t52\tRX\tVelto ASCII\t8\t21 30 31 09 0D 0A 80 7E\t!01....~\t"
                "two lines in one"));
        QCOMPARE(rowHeader().count('\t'), 8);

        TrafficRow failure = row(Direction::Event, Protocol::ModbusRtu, {}, true);
        failure.sinceConnectMs = 7;
        failure.summary = "Time-out: no response from slave 1 within 1000 ms";
        const QStringList fields = formatRow(failure).split('\t');
        QCOMPARE(fields.size(), 9);
        QCOMPARE(fields[1], QString("0.007"));
        QCOMPARE(fields[3], QString("--"));
        QCOMPARE(fields[5], QString("0"));
        QCOMPARE(fields[8], QString("FAILURE: Time-out: no response from slave 1 within 1000 ms"));
    }
};

QTEST_GUILESS_MAIN(TstRows)
#include "tst_rows.moc"
