#include "ui/logo.h"

#include <QTest>

using namespace velto;

// The icon comes from an SVG compiled into the program; a resource that is not linked in, or markup
// the renderer does not understand, leaves an empty picture instead of failing loudly.
class TestIcon : public QObject {
    Q_OBJECT

    static bool near(QRgb pixel, QRgb wanted)
    {
        constexpr int kTolerance = 8;
        return qAlpha(pixel) == 255 && qAbs(qRed(pixel) - qRed(wanted)) <= kTolerance
            && qAbs(qGreen(pixel) - qGreen(wanted)) <= kTolerance
            && qAbs(qBlue(pixel) - qBlue(wanted)) <= kTolerance;
    }

private slots:
    void drawsTankLevelAndSensor_data()
    {
        // Points in the SVG's own 100x100 units.
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("sensor head") << QPointF(50, 10) << qRgb(0x28, 0x3c, 0x5a);
        QTest::newRow("tank wall") << QPointF(14, 40) << qRgb(0x28, 0x3c, 0x5a);
        QTest::newRow("empty part of the tank") << QPointF(30, 35) << qRgb(0xee, 0xf3, 0xf8);
        QTest::newRow("liquid") << QPointF(50, 80) << qRgb(0x3c, 0x8c, 0xe6);
    }
    void drawsTankLevelAndSensor()
    {
        QFETCH(QPointF, point);
        QFETCH(QRgb, colour);
        for (const int size : { 64, 256 }) {
            const QImage image = ui::veltoLogoImage(size).convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(image.size(), QSize(size, size));
            const QRgb pixel = image.pixel((point * size / 100.0).toPoint());
            QVERIFY2(near(pixel, colour), qPrintable(QString::number(pixel, 16)));
            // Outside the tank the icon stays transparent, so it sits on any panel colour.
            QCOMPARE(qAlpha(image.pixel(1, size - 2)), 0);
        }
    }

    void iconOffersEveryThemeSize()
    {
        const QList<QSize> sizes = ui::veltoIcon().availableSizes();
        for (const int size : ui::kIconSizes)
            QVERIFY(sizes.contains(QSize(size, size)));
    }
};

QTEST_MAIN(TestIcon)
#include "tst_icon.moc"
