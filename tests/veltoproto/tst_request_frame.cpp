#include "veltoproto/address_entry.h"
#include "veltoproto/request_frame.h"

#include <QTest>

using namespace velto::veltoproto;

class TestRequestFrame : public QObject {
    Q_OBJECT
private slots:
    void frames_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("sensorOne");
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("address 1, sensor 1, distance") << 1 << true << 1 << QByteArray("!011202010007\r");
        QTest::newRow("address 5, sensor 0, level") << 5 << false << 9 << QByteArray("!050202090018\r");
        QTest::newRow("address 0 as two digits") << 0 << false << 4 << QByteArray("!000202040008\r");
        QTest::newRow("address 12 adds as one number") << 12 << true << 6 << QByteArray("!121202060023\r");
        QTest::newRow("checksum 100 widens") << 91 << false << 6 << QByteArray("!9102020600101\r");
        QTest::newRow("address 200") << 200 << true << 1 << QByteArray("!20012020100206\r");
        QTest::newRow("address 255 level") << 255 << true << 9 << QByteArray("!25512020900269\r");
    }
    void frames()
    {
        QFETCH(int, address);
        QFETCH(bool, sensorOne);
        QFETCH(int, command);
        QFETCH(QByteArray, frame);
        const auto built = buildRequestFrame(address, sensorOne, static_cast<VeltoCommand>(command));
        QVERIFY(built);
        QCOMPARE(*built, frame);
    }

    void threeDigitAddressGivesFifteenCharactersBeforeCr()
    {
        const auto built = buildRequestFrame(200, false, VeltoCommand::Level);
        QVERIFY(built);
        QCOMPARE(built->size(), 16);
        QVERIFY(built->endsWith('\r'));
        QCOMPARE(built->mid(1, 3), QByteArray("200"));
    }

    void addressOutsideByteBuildsNothing()
    {
        QVERIFY(!buildRequestFrame(-1, true, VeltoCommand::Distance));
        QVERIFY(!buildRequestFrame(256, true, VeltoCommand::Distance));
    }

    void orvixId_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("veltoMode");
        QTest::addColumn<int>("address"); // -1: keep the previous address
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("replacement"); // "-" : none

        QTest::newRow("velto 0 accepted") << "0" << true << 0 << QString() << "-";
        QTest::newRow("velto 255") << "255" << true << 255 << QString() << "-";
        QTest::newRow("velto 256") << "256" << true << 0 << kVeltoAddressMessage << "0";
        QTest::newRow("velto -3") << "-3" << true << 0 << kVeltoAddressMessage << "0";
        QTest::newRow("velto letters") << "1a" << true << 0 << kVeltoAddressMessage << "0";
        QTest::newRow("velto fraction") << "1.5" << true << 0 << kVeltoAddressMessage << "0";
        QTest::newRow("velto empty keeps") << "" << true << -1 << QString() << "-";
        QTest::newRow("modbus 0 replaced by 1") << "0" << false << 1 << kModbusAddressMessage << "1";
        QTest::newRow("modbus 256") << "256" << false << 1 << kModbusAddressMessage << "1";
        QTest::newRow("modbus 17") << " 17 " << false << 17 << QString() << "-";
        QTest::newRow("modbus huge") << "99999999999" << false << 1 << kModbusAddressMessage << "1";
    }
    void orvixId()
    {
        QFETCH(QString, text);
        QFETCH(bool, veltoMode);
        QFETCH(int, address);
        QFETCH(QString, message);
        QFETCH(QString, replacement);
        const AddressEntry e = checkOrvixId(text, veltoMode ? AddressMode::Velto : AddressMode::Modbus);
        QCOMPARE(e.address.has_value(), address >= 0);
        if (address >= 0)
            QCOMPARE(int(*e.address), address);
        QCOMPARE(e.message, message);
        QCOMPARE(e.replacementText.value_or("-"), replacement);
        // The replacement text passes the check when the window puts it back.
        if (e.replacementText) {
            const AddressEntry again
                = checkOrvixId(*e.replacementText, veltoMode ? AddressMode::Velto : AddressMode::Modbus);
            QVERIFY(again.message.isEmpty());
            QCOMPARE(again.address, e.address);
        }
    }

    void orvix2Id()
    {
        QCOMPARE(int(*checkOrvix2Id(u"5").address), 5);
        const AddressEntry zero = checkOrvix2Id(u"0");
        QCOMPARE(zero.message, kModbusAddressMessage);
        QCOMPARE(*zero.replacementText, QStringLiteral("2"));
        QCOMPARE(int(*zero.address), 2);
        QCOMPARE(checkOrvix2Id(u"300").message, kModbusAddressMessage);
    }
};

QTEST_GUILESS_MAIN(TestRequestFrame)
#include "tst_request_frame.moc"
