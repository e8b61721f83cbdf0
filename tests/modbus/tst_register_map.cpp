#include "modbus/register_map.h"
#include "support/fake_prompter.h"

#include <QTest>

using namespace velto::modbus;

class TestRegisterMap : public QObject {
    Q_OBJECT

private slots:
    void wordConversions_data();
    void wordConversions();
    void unsignedToIntegerOutOfRangeWarns_data();
    void unsignedToIntegerOutOfRangeWarns();
    void convertHexToDecimal_data();
    void convertHexToDecimal();
    void hexDigitValue_data();
    void hexDigitValue();
    void toBinaryText_data();
    void toBinaryText();
    void statusText_data();
    void statusText();
    void myRound();
    void scaling_data();
    void scaling();
    void formatDecimal_data();
    void formatDecimal();
};

void TestRegisterMap::wordConversions_data()
{
    QTest::addColumn<int>("signedWord");
    QTest::addColumn<int>("unsignedWord");
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("largest positive") << 32767 << 32767;
    QTest::newRow("minus one") << -1 << 65535;
    QTest::newRow("most negative") << -32768 << 32768;
    QTest::newRow("minus two") << -2 << 65534;
}

void TestRegisterMap::wordConversions()
{
    QFETCH(int, signedWord);
    QFETCH(int, unsignedWord);
    velto::test::FakePrompter prompter;
    QCOMPARE(SInt2UInt(qint16(signedWord)), unsignedWord);
    QCOMPARE(IntegerToUnsigned(qint16(signedWord)), unsignedWord);
    QCOMPARE(int(UnsignedToInteger(unsignedWord, prompter)), signedWord);
    QVERIFY(prompter.messages.isEmpty());
}

void TestRegisterMap::unsignedToIntegerOutOfRangeWarns_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("65536") << 65536;
    QTest::newRow("negative") << -1;
    QTest::newRow("large") << 1000000;
}

void TestRegisterMap::unsignedToIntegerOutOfRangeWarns()
{
    QFETCH(int, value);
    velto::test::FakePrompter prompter;
    QCOMPARE(int(UnsignedToInteger(value, prompter)), 0);
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages.first().title, QStringLiteral("Velto KRVMS"));
    QCOMPARE(prompter.messages.first().text,
        QStringLiteral("Error encountered while trying to enter value,Please retry"));
}

void TestRegisterMap::convertHexToDecimal_data()
{
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<double>("expected");
    QTest::newRow("negative low word, high 1") << -1 << 1 << 131071.0;
    QTest::newRow("zero") << 0 << 0 << 0.0;
    QTest::newRow("low only") << 0x1234 << 0 << 4660.0;
    QTest::newRow("high only") << 0 << 0x10 << 1048576.0;
    QTest::newRow("all bits") << -1 << -1 << 4294967295.0;
    QTest::newRow("sign bit of high word") << 0 << -32768 << 2147483648.0;
}

void TestRegisterMap::convertHexToDecimal()
{
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(double, expected);
    QCOMPARE(ConvertHexToDecimal(qint16(low), qint16(high)), expected);
    QCOMPARE(double(combineWords(quint16(low), quint16(high))), expected);
}

void TestRegisterMap::hexDigitValue_data()
{
    QTest::addColumn<QString>("digit");
    QTest::addColumn<int>("value");
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("A") << "A" << 10;
    QTest::newRow("lower f") << "f" << 15;
    QTest::newRow("G is not a digit") << "G" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("two characters") << "1A" << 0;
    QTest::newRow("blank") << " " << 0;
}

void TestRegisterMap::hexDigitValue()
{
    QFETCH(QString, digit);
    QFETCH(int, value);
    QCOMPARE(HexDigitValue(digit), value);
}

void TestRegisterMap::toBinaryText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "0";
    QTest::newRow("one") << 1 << "1";
    QTest::newRow("power of two") << 32 << "100000";
    QTest::newRow("five") << 5 << "101";
    QTest::newRow("largest") << 32767 << "111111111111111";
    QTest::newRow("negative reads as zero") << -1 << "0";
}

void TestRegisterMap::toBinaryText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(ToBinaryText(qint16(value)), text);
}

void TestRegisterMap::statusText_data()
{
    QTest::addColumn<int>("r4");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << "";
    QTest::newRow("full and ok run together") << 0x0003 << "-Full--OK-";
    QTest::newRow("all six in order") << 0x003F << "-Menu--No Table--Noise--Empty--Full--OK-";
    QTest::newRow("noise only") << 0x0008 << "-Noise-";
    QTest::newRow("bits above 5 ignored") << 0x0FC0 << "";
    QTest::newRow("bit 15 keeps the flags") << 0x8011 << "-No Table--OK-";
}

void TestRegisterMap::statusText()
{
    QFETCH(int, r4);
    QFETCH(QString, text);
    QCOMPARE(velto::modbus::statusText(quint16(r4)), text);
}

void TestRegisterMap::myRound()
{
    QCOMPARE(MyRound(2.5), 2.0);
    QCOMPARE(MyRound(0.0), -0.5);
}

void TestRegisterMap::scaling_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("unitCode");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("signedValue");
    QTest::newRow("metre -2 word") << 0xFFFE << 0 << "65.534"
                                   << "-0.002";
    QTest::newRow("metre 1234") << 1234 << 0 << "1.234"
                                << "1.234";
    QTest::newRow("metre 1200") << 1200 << 0 << "1.2"
                                << "1.2";
    QTest::newRow("metre whole") << 3000 << 0 << "3"
                                 << "3";
    QTest::newRow("metre small") << 5 << 0 << "0.005"
                                 << "0.005";
    QTest::newRow("m3/h like metre") << 0x8000 << 3 << "32.768"
                                     << "-32.768";
    QTest::newRow("feet 150") << 150 << 2 << "15"
                              << "15";
    QTest::newRow("feet negative") << 0xFFFF << 2 << "-0.1"
                                   << "-0.1";
    QTest::newRow("inch as is") << 0xFFFE << 1 << "-2"
                                << "-2";
    QTest::newRow("gpm as is") << 250 << 4 << "250"
                               << "250";
}

void TestRegisterMap::scaling()
{
    QFETCH(int, word);
    QFETCH(int, unitCode);
    QFETCH(QString, length);
    QFETCH(QString, signedValue);
    const auto unit = unitFromCode(unitCode);
    QVERIFY(unit);
    QCOMPARE(scaleLength(quint16(word), *unit), length);
    QCOMPARE(scaleSigned(quint16(word), *unit), signedValue);
}

void TestRegisterMap::formatDecimal_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<qint64>("divisor");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << qint64(1000) << "0";
    QTest::newRow("tenths") << qint64(1234) << qint64(10) << "123.4";
    QTest::newRow("negative below one") << qint64(-5) << qint64(1000) << "-0.005";
    QTest::newRow("hundredths") << qint64(-1234) << qint64(100) << "-12.34";
    QTest::newRow("no float noise") << qint64(4294967295) << qint64(10) << "429496729.5";
    QTest::newRow("0.1 exactly") << qint64(1) << qint64(10) << "0.1";
    QTest::newRow("divisor one") << qint64(-7) << qint64(1) << "-7";
}

void TestRegisterMap::formatDecimal()
{
    QFETCH(qint64, value);
    QFETCH(qint64, divisor);
    QFETCH(QString, text);
    QCOMPARE(velto::modbus::formatDecimal(value, divisor), text);
}

QTEST_GUILESS_MAIN(TestRegisterMap)
#include "tst_register_map.moc"
