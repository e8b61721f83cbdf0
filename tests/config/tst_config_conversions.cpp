#include "config/config_conversions.h"
#include "config/preset_block.h"
#include "support/fake_prompter.h"

#include <QTest>

using namespace velto::config;
using velto::test::FakePrompter;

Q_DECLARE_METATYPE(BlockInputs)

class TstConfigConversions : public QObject {
    Q_OBJECT
private slots:
    void splitsIntoTwoWordsLowFirst_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("70000") << 70000.0 << 0x1170 << 0x0001;
        QTest::newRow("-1") << -1.0 << 0xFFFF << 0xFFFF;
        QTest::newRow("fits one word") << 4660.0 << 0x1234 << 0;
        QTest::newRow("half to even down") << 2.5 << 2 << 0;
        QTest::newRow("half to even up") << 3.5 << 4 << 0;
        QTest::newRow("largest") << 2147483647.0 << 0xFFFF << 0x7FFF;
        QTest::newRow("smallest") << -2147483648.0 << 0 << 0x8000;
    }
    void splitsIntoTwoWordsLowFirst()
    {
        QFETCH(double, value);
        const std::optional<TwoWords> words = ConvertModbusValueTo2Integer(value);
        QVERIFY(words);
        QFETCH(int, low);
        QFETCH(int, high);
        QCOMPARE(int(words->low), low);
        QCOMPARE(int(words->high), high);
    }

    void twoWordsRefuseWhatDoesNotFit()
    {
        QVERIFY(!ConvertModbusValueTo2Integer(2147483648.0));
        QVERIFY(!ConvertModbusValueTo2Integer(-2147483649.0));
        QVERIFY(!ConvertModbusValueTo2Integer(std::numeric_limits<double>::quiet_NaN()));
    }

    void sixteenBitTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("word"); // -1: refused
        QTest::newRow("plain") << "1234" << 1234;
        QTest::newRow("blanks around") << " 77 " << 77;
        QTest::newRow("negative keeps its bits") << "-1" << 0xFFFF;
        QTest::newRow("largest") << "32767" << 32767;
        QTest::newRow("smallest") << "-32768" << 0x8000;
        QTest::newRow("halves to even") << "10.5" << 10;
        QTest::newRow("odd half up") << "11.5" << 12;
        QTest::newRow("rounds into range") << "32767.4" << 32767;
        QTest::newRow("rounds out of range") << "32767.5" << -1;
        QTest::newRow("40000 does not fit") << "40000" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("letters") << "12a" << -1;
        QTest::newRow("infinity") << "inf" << -1;
    }
    void sixteenBitTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, word);
        const std::optional<quint16> got = toInt16Word(text);
        if (word < 0)
            QVERIFY(!got);
        else
            QCOMPARE(int(got.value_or(0xDEAD)), word);
    }

    void listCodes_data()
    {
        QTest::addColumn<bool>("unitList");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code"); // -1: refused
        QTest::addColumn<bool>("clears");
        QTest::newRow("unit entry") << true << "FEET" << 2 << false;
        QTest::newRow("unit superscript entry") << true << QString::fromUtf8("M³/HR") << 3 << false;
        QTest::newRow("unit typed 7 is sent") << true << "7" << 7 << false;
        QTest::newRow("unit typed 2 is refused") << true << "2" << -1 << true;
        QTest::newRow("unit typed 4.5 is sent rounded") << true << "4.5" << 4 << false;
        QTest::newRow("unit typed 3.9 is refused") << true << "3.9" << -1 << true;
        QTest::newRow("unit typed -1") << true << "-1" << 0xFFFF << false;
        QTest::newRow("unit text reads as 0") << true << "meters" << -1 << true;
        QTest::newRow("unit too wide") << true << "70000" << -1 << false;
        QTest::newRow("mode entry") << false << "Totalization" << 5 << false;
        QTest::newRow("mode typed 2 is sent") << false << "2" << 2 << false;
        QTest::newRow("mode typed 4 is sent") << false << "4" << 4 << false;
        QTest::newRow("mode typed 6 is refused") << false << "6" << -1 << true;
        QTest::newRow("mode empty reads as 0") << false << "" << -1 << true;
    }
    void listCodes()
    {
        QFETCH(bool, unitList);
        QFETCH(QString, text);
        QFETCH(int, code);
        const ListCode got = unitList ? measurementUnitCode(text) : indicationModeCode(text);
        if (code < 0)
            QVERIFY(!got.code);
        else
            QCOMPARE(int(got.code.value_or(0xDEAD)), code);
        QFETCH(bool, clears);
        QCOMPARE(got.clearList, clears);
    }

    void listEntriesAndCodesMatch()
    {
        QCOMPARE(measurementUnitEntries().size(), measurementUnitCodes().size());
        QCOMPARE(indicationModeEntries().size(), indicationModeCodes().size());
        QCOMPARE(measurementUnitEntries().at(3), QString::fromUtf8("M³/HR"));
    }

    void fullBlockInRegisterOrder()
    {
        const BlockInputs in { "5000", "70000", "-1", "Level", "-300", "INCH" };
        const BlockWords block = buildPresetBlock(in);
        QVERIFY(block.ok());
        QCOMPARE(block.startRegister, 51);
        const QList<quint16> expected { 5000, 0x1170, 0x0001, 0xFFFF, 0xFFFF, 1, quint16(-300), 1 };
        QCOMPARE(block.words, expected);
    }

    void firstFailureInEvaluationOrder_data()
    {
        QTest::addColumn<BlockInputs>("inputs");
        QTest::addColumn<QString>("message");
        const BlockInputs good { "5000", "0", "5000", "Level", "300", "METER" };
        BlockInputs all = good;
        all.tankHeight = all.fourMa = all.twentyMa = all.sbd = "x";
        all.measurementUnit = all.indicationMode = "0";
        QTest::newRow("unit first") << all << kIncorrectMeasurementUnit;
        all.measurementUnit = "METER";
        QTest::newRow("then mode") << all << kIncorrectIndicationMode;
        all.indicationMode = "Flow";
        QTest::newRow("then tank height") << all << kIncorrectTankHeight;
        all.tankHeight = "1";
        QTest::newRow("then 4 mA") << all << kIncorrect4mA;
        all.fourMa = "1";
        QTest::newRow("then 20 mA") << all << kIncorrect20mA;
        all.twentyMa = "1";
        QTest::newRow("then SBD") << all << QString("Incorrect SBD Value");
    }
    void firstFailureInEvaluationOrder()
    {
        QFETCH(BlockInputs, inputs);
        QFETCH(QString, message);
        const BlockWords block = buildPresetBlock(inputs);
        QVERIFY(!block.ok());
        QCOMPARE(block.message, message);
    }

    void selectedRanges_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QList<quint16>>("words");
        const QList<quint16> all { 5000, 0x1170, 0x0001, 0xFFFF, 0xFFFF, 6, 300, 4 };
        QTest::newRow("52 x 8") << 52 << 8 << QString() << 51 << all;
        QTest::newRow("52 x 1") << 52 << 1 << QString() << 51 << all.mid(0, 1);
        QTest::newRow("53 x 2") << 53 << 2 << QString() << 52 << all.mid(1, 2);
        QTest::newRow("55 x 5") << 55 << 5 << QString() << 54 << all.mid(3, 5);
        QTest::newRow("57 x 3") << 57 << 3 << QString() << 56 << all.mid(5, 3);
        QTest::newRow("58 x 2") << 58 << 2 << QString() << 57 << all.mid(6, 2);
        QTest::newRow("59 x 1 unit only") << 59 << 1 << QString() << 58 << all.mid(7, 1);
        QTest::newRow("54 high word") << 54 << 1 << kInvalidStartAddress << 0 << QList<quint16>();
        QTest::newRow("56 high word") << 56 << 2 << kInvalidStartAddress << 0 << QList<quint16>();
        QTest::newRow("51 before block") << 51 << 1 << kInvalidStartAddress << 0 << QList<quint16>();
        QTest::newRow("60 past block") << 60 << 1 << kInvalidStartAddress << 0 << QList<quint16>();
        QTest::newRow("53 x 3 ends in pair") << 53 << 3 << kInvalidBufferLength << 0 << QList<quint16>();
        QTest::newRow("52 x 2 ends in pair") << 52 << 2 << kInvalidBufferLength << 0 << QList<quint16>();
        QTest::newRow("57 x 4 passes unit") << 57 << 4 << kInvalidBufferLength << 0 << QList<quint16>();
        QTest::newRow("59 x 2") << 59 << 2 << kInvalidBufferLength << 0 << QList<quint16>();
    }
    void selectedRanges()
    {
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, message);
        QFETCH(int, reg);
        QFETCH(QList<quint16>, words);
        const BlockInputs in { "5000", "70000", "-1", "Volume", "300", QString::fromUtf8("G.P.M") };
        const BlockWords block = buildSelectedBlock(in, start, length);
        QCOMPARE(block.message, message);
        if (message.isEmpty()) {
            QCOMPARE(block.startRegister, reg);
            QCOMPARE(block.words, words);
        }
    }

    void partialRangeIgnoresOtherInputs()
    {
        // Only the unit is written, so empty boxes elsewhere do not stop it.
        const BlockWords block = buildSelectedBlock({ "", "", "", "", "", "FEET" }, 59, 1);
        QVERIFY(block.ok());
        QCOMPARE(block.words, QList<quint16> { 2 });
        const BlockWords refused = buildSelectedBlock({ "", "", "", "", "", "1" }, 59, 1);
        QCOMPARE(refused.message, kIncorrectMeasurementUnit);
        QVERIFY(refused.clearMeasurementUnit);
    }

    void boxChecks_data()
    {
        QTest::addColumn<int>("box"); // 0 start, 1 length, 2 interval
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::newRow("start 1") << 0 << "1" << 1 << QString();
        QTest::newRow("start 9999") << 0 << "9999" << 9999 << QString();
        QTest::newRow("start 0") << 0 << "0" << 52 << kStartMessage;
        QTest::newRow("start 10000") << 0 << "10000" << 52 << kStartMessage;
        QTest::newRow("start empty") << 0 << "" << 52 << kStartMessage;
        QTest::newRow("length 8") << 1 << "8" << 8 << QString();
        QTest::newRow("length 9") << 1 << "9" << 8 << kLengthMessage;
        QTest::newRow("length 0") << 1 << "0" << 8 << kLengthMessage;
        QTest::newRow("interval 1") << 2 << "1" << 1 << QString();
        QTest::newRow("interval 100000") << 2 << "100000" << 100000 << QString();
        QTest::newRow("interval 0") << 2 << "0" << 5000 << kIntervalMessage;
        QTest::newRow("interval 100001") << 2 << "100001" << 5000 << kIntervalMessage;
        QTest::newRow("interval fraction") << 2 << "2.5" << 5000 << kIntervalMessage;
    }
    void boxChecks()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        FakePrompter prompter;
        const velto::RangeDecision check = box == 0 ? SetMBStartAddText_Change(text, prompter)
            : box == 1                              ? SetMBLengthText_Change(text, prompter)
                                                    : SetPeriodicalTankHeightText_Change(text, prompter);
        QFETCH(int, value);
        QCOMPARE(check.value, value);
        if (message.isEmpty()) {
            QVERIFY(prompter.messages.isEmpty());
            QVERIFY(!check.replacementText);
        } else {
            QCOMPARE(prompter.texts(), QStringList { message });
            QCOMPARE(check.replacementText.value_or(QString()), QString::number(check.value));
        }
    }

    void intervalMessageHasTwoLines()
    {
        QCOMPARE(kIntervalMessage.split('\n'),
            QStringList({ "Illegal Interval Value.",
                "Enter valid Interval Value, from 1 to 100000 msec (default value 5000)" }));
    }
};

QTEST_GUILESS_MAIN(TstConfigConversions)
#include "tst_config_conversions.moc"
