#include "logging/log_format.h"

#include <QTest>

using namespace velto::logging;

namespace {
const QDateTime kNow(QDate(2024, 3, 7), QTime(14, 5, 9));

VeltoSensorTexts sensor(const QString& n)
{
    return { "O.K" + n, "1.5" + n, "2.5" + n, "21" + n, "4" + n };
}
} // namespace

class TestLogFormat : public QObject {
    Q_OBJECT
private slots:
    void rates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("half a second") << "0.5" << int(RateEntry::Kind::Valid) << 500;
        QTest::newRow("sixty") << "60" << int(RateEntry::Kind::Valid) << 60000;
        QTest::newRow("one, spaced") << " 1 " << int(RateEntry::Kind::Valid) << 1000;
        QTest::newRow("just below 61") << "60.9" << int(RateEntry::Kind::Valid) << 60900;
        QTest::newRow("zero") << "0" << int(RateEntry::Kind::Invalid) << 0;
        QTest::newRow("sixty-one") << "61" << int(RateEntry::Kind::Invalid) << 0;
        QTest::newRow("negative") << "-2" << int(RateEntry::Kind::Invalid) << 0;
        QTest::newRow("letters") << "fast" << int(RateEntry::Kind::Invalid) << 0;
        QTest::newRow("not a number") << "nan" << int(RateEntry::Kind::Invalid) << 0;
        QTest::newRow("below a millisecond") << "0.0001" << int(RateEntry::Kind::Invalid) << 0;
        QTest::newRow("empty") << "" << int(RateEntry::Kind::Empty) << 0;
    }
    void rates()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(int, intervalMs);
        const RateEntry e = checkRate(text);
        QCOMPARE(int(e.kind), kind);
        QCOMPARE(e.intervalMs, intervalMs);
    }

    void titles_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("two");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("headerColumns");
        QTest::newRow("modbus without volume")
            << int(LogMode::Modbus) << false << QString()
            << "Error Status,Distance,Level,Temperature,Tank Height,Measurment Unit,Time,Date" << 8;
        QTest::newRow("modbus with volume")
            << int(LogMode::Modbus) << false << "Volume"
            << "Error Status,Distance,Level,Temperature,Volume,Tank Height,Measurment Unit,Time,Date" << 9;
        QTest::newRow("velto single")
            << int(LogMode::Velto) << false << QString()
            << "Error Status,Distance,Level,Temperature,Tank Height,Time,Date " << 7;
        QTest::newRow("velto two sensors") << int(LogMode::Velto) << true << QString()
                                           << "Error Status 1,Distance 1,Level 1,Temperature 1,Tank Height "
                                              "1,Error Status 2,Distance 2,Level "
                                              "2,Temperature 2,Tank Height 2,Time,Date "
                                           << 12;
    }
    void titles()
    {
        QFETCH(int, mode);
        QFETCH(bool, two);
        QFETCH(QString, caption);
        QFETCH(QString, title);
        QFETCH(int, headerColumns);
        const LogLayout layout { LogMode(mode), two, caption };
        QCOMPARE(titleText(layout), title);
        const QStringList header = gridHeader(layout);
        QCOMPARE(header.size(), headerColumns);
        QCOMPARE(header.last(), QStringLiteral("Date"));
        if (!caption.isEmpty())
            QCOMPARE(header.at(4), caption);
    }

    void twoSensorHeaderKeepsItsNames()
    {
        const QStringList header = gridHeader({ LogMode::Velto, true, {} });
        QCOMPARE(header.at(0), QStringLiteral("Err. Sta.1"));
        QCOMPARE(header.at(6), QStringLiteral("Distance12"));
    }

    void veltoTwoSensorLine()
    {
        LogReadings r;
        r.mode = LogMode::Velto;
        r.twoSensors = true;
        r.velto = { sensor("a"), sensor("b") };
        const QString time = logTime(kNow);
        const QString date = logDate(kNow);
        QCOMPARE(dataLine(r, kNow),
            "O.Ka , 1.5a , 2.5a , 21a , 4a , O.Kb , 1.5b , 2.5b , 21b , 4b , " + time + " , " + date
                + " , \r\n");
        const QStringList row = gridRow(r, kNow);
        QCOMPARE(row.size(), 12);
        QCOMPARE(row.at(5), QStringLiteral("O.Kb"));
        QCOMPARE(row.at(10), time);

        r.twoSensors = false;
        QCOMPARE(gridRow(r, kNow).size(), 7);
        QVERIFY(dataLine(r, kNow).startsWith("O.Ka , 1.5a , 2.5a , 21a , 4a , " + time));
    }

    void modbusLineAndVolumeException()
    {
        LogReadings r;
        r.mode = LogMode::Modbus;
        r.modbus = { "O.K", "1.2", "3.4", "25", {}, "5", "meter" };
        const QString tail = logTime(kNow) + " , " + logDate(kNow) + " , \r\n";
        QCOMPARE(dataLine(r, kNow), "O.K , 1.2 , 3.4 , 25 , 5 , meter , " + tail);
        QCOMPARE(gridRow(r, kNow).size(), 8);
        r.modbus.volume = QStringLiteral("77");
        QCOMPARE(dataLine(r, kNow), "O.K , 1.2 , 3.4 , 25 , 77,5 , meter , " + tail);
        QCOMPARE(gridRow(r, kNow).at(4), QStringLiteral("77"));
    }

    void timeAndDateFollowTheSystemShortFormats()
    {
        QCOMPARE(logTime(kNow), QLocale::system().toString(QTime(14, 5, 9), QLocale::ShortFormat));
        QCOMPARE(logDate(kNow), QLocale::system().toString(QDate(2024, 3, 7), QLocale::ShortFormat));
    }
};

QTEST_GUILESS_MAIN(TestLogFormat)
#include "tst_log_format.moc"
