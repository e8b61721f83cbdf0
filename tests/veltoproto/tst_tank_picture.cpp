#include "veltoproto/tank_picture.h"

#include <QTest>

using namespace velto::veltoproto;

class TestTankPicture : public QObject {
    Q_OBJECT
private slots:
    void rows_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("height");
        QTest::addColumn<int>("segments"); // -1: nothing drawn
        QTest::newRow("full tank") << "2.5"
                                   << "2.5" << 2 * 311;
        QTest::newRow("above the top") << "9"
                                       << "2" << 2 * 311;
        QTest::newRow("half, inches") << "39.370"
                                      << "78.740" << 2 * 156;
        QTest::newRow("empty level") << ".000"
                                     << "78.740" << 2;
        QTest::newRow("half a row rounds to even") << "0.5"
                                                   << "310" << 2;
        QTest::newRow("height 0") << "1"
                                  << "0" << -1;
        QTest::newRow("empty text") << ""
                                    << "2" << -1;
        QTest::newRow("N/A") << "N/A"
                             << "N/A" << -1;
        QTest::newRow("negative level") << "-3"
                                        << "2" << 0;
    }
    void rows()
    {
        QFETCH(QString, level);
        QFETCH(QString, height);
        QFETCH(int, segments);
        const auto lines = tankLevelLines(level, height, 400);
        QCOMPARE(lines.has_value(), segments >= 0);
        if (lines)
            QCOMPARE(lines->size(), segments);
    }

    void geometryClampsAtTheWalls()
    {
        const auto lines = tankLevelLines(u"1", u"1", 400);
        QVERIFY(lines);
        QCOMPARE(lines->at(0), QLine(94, 365, 90, 365));
        QCOMPARE(lines->at(1), QLine(90, 365, 88, 365));
        // Row 80: left 85 (94 - 85 < 11 gives 83), right 92 (180 > 177 gives 89).
        QCOMPARE(lines->at(160), QLine(11, 285, 90, 285));
        QCOMPARE(lines->at(161), QLine(90, 285, 177, 285));
        QCOMPARE(lines->last().y1(), 400 - 310 - 35);
    }
};

QTEST_GUILESS_MAIN(TestTankPicture)
#include "tst_tank_picture.moc"
