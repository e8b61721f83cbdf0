#include "flash/hex_file.h"
#include "sim/intel_hex.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace velto::flash;

class TestHexFile : public QObject {
    Q_OBJECT

private slots:
    void linesAreSentAsRead_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QByteArray>>("lines");
        const QList<QByteArray> two { ":00000001FF", ":020000040000FA" };
        QTest::newRow("CR LF") << QByteArray(":00000001FF\r\n:020000040000FA\r\n") << two;
        QTest::newRow("LF") << QByteArray(":00000001FF\n:020000040000FA\n") << two;
        QTest::newRow("CR") << QByteArray(":00000001FF\r:020000040000FA\r") << two;
        QTest::newRow("no end on the last line") << QByteArray(":00000001FF\r\n:020000040000FA") << two;
        QTest::newRow("blank lines left out")
            << QByteArray("\r\n:00000001FF\r\n  \r\n\r\n:020000040000FA\r\n\n") << two;
        QTest::newRow("white space of any kind is blank")
            << QByteArray(":00000001FF\r\n\v \r\n\f\t\n:020000040000FA") << two;
        QTest::newRow("other text kept as it is")
            << QByteArray("garbage \t\r\n:00000001FF ") << QList<QByteArray> { "garbage \t", ":00000001FF " };
        QTest::newRow("bytes are bytes")
            << QByteArray("\0:\xFF\n", 4) << QList<QByteArray> { QByteArray("\0:\xFF", 3) };
        QTest::newRow("empty") << QByteArray() << QList<QByteArray> {};
    }
    void linesAreSentAsRead()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<QByteArray>, lines);
        QCOMPARE(splitHexLines(content), lines);
    }

    void wholeFilesPassTheCheck_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("a firmware crossing 64 KiB") << velto::sim::sampleHexFile(4200, 3);
        QTest::newRow("lower-case digits, LF, blank lines")
            << QByteArray(":0400000001020304f2\n\n:00000001ff\n\n");
        QTest::newRow("the end record alone") << QByteArray(":00000001FF");
    }
    void wholeFilesPassTheCheck()
    {
        QFETCH(QByteArray, content);
        QCOMPARE(checkHexRecords(content), QString());
    }

    void unreadableFilesSayWhy()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const HexFileRead missing = readHexFile(dir.filePath("none.hex"));
        QVERIFY(!missing.ok());
        QVERIFY(missing.errorText.contains("none.hex"));
        QVERIFY(missing.lines.isEmpty());

        const HexFileRead folder = readHexFile(dir.path());
        QVERIFY(!folder.ok());
        QVERIFY(folder.errorText.contains("folder"));

        QFile blank(dir.filePath("blank.hex"));
        QVERIFY(blank.open(QIODevice::WriteOnly));
        blank.write("\r\n \r\n");
        blank.close();
        QVERIFY(readHexFile(blank.fileName()).errorText.contains("holds no lines"));

        QFile good(dir.filePath("good.hex"));
        QVERIFY(good.open(QIODevice::WriteOnly));
        good.write(":00000001FF\r\n");
        good.close();
        const HexFileRead read = readHexFile(good.fileName());
        QVERIFY(read.ok());
        QCOMPARE(read.lines, QList<QByteArray> { ":00000001FF" });
    }
};

QTEST_GUILESS_MAIN(TestHexFile)
#include "tst_hex_file.moc"
