#include "calibration/calibration_message.h"
#include "calibration/calibration_texts.h"
#include "calibration/current_output.h"
#include "calibration/transceiver_parameter.h"
#include "calibration/value_text.h"
#include "support/byte_values.h"

#include <QTest>

using namespace velto::calibration;
using velto::test::bytes;

namespace {

QString boxText(const QList<velto::BoxUpdate>& updates, const QString& name)
{
    for (const auto& u : updates)
        if (u.objectName == name)
            return u.text.value_or(QString());
    return QStringLiteral("<missing>");
}

} // namespace

// The six-byte messages as the unit receives them, and the conversions between codes and values.
class TstCalibrationMessage : public QObject {
    Q_OBJECT
private slots:
    void messagesByteForByte_data();
    void messagesByteForByte();
    void shortCodesArePaddedOnTheRight_data();
    void shortCodesArePaddedOnTheRight();
    void currentConversion_data();
    void currentConversion();
    void typedCurrentsOutsideTheSliderAreRejected();
    void transceiverValuesFromCodes_data();
    void transceiverValuesFromCodes();
    void typedTransceiverValues_data();
    void typedTransceiverValues();
    void valueFormatAndTypedNumbers();
    void defaultValueBoxes();
};

void TstCalibrationMessage::messagesByteForByte_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Gain 70") << codeMessage('B', 70) << bytes({ 0x21, 0x42, 0x46, 0x00, 0x25, 0x40 });
    QTest::newRow("relay 3 on") << relayMessage(3, true) << bytes({ 0x21, 0x51, 0x00, 0x01, 0x71, 0x40 });
    QTest::newRow("relay 3 off") << relayMessage(3, false) << bytes({ 0x21, 0x51, 0x00, 0x00, 0x70, 0x40 });
    QTest::newRow("relay 1 on") << relayMessage(1, true) << bytes({ 0x21, 0x4F, 0x00, 0x01, 0x6F, 0x40 });
    QTest::newRow("relay 6 on") << relayMessage(6, true) << bytes({ 0x21, 0x54, 0x00, 0x01, 0x74, 0x40 });
    QTest::newRow("multi-sensor relay on")
        << relayMessage(kMultiSensorRelay, true) << bytes({ 0x21, 0x55, 0x00, 0x01, 0x75, 0x40 });
    QTest::newRow("follow-up") << followUpMessage() << bytes({ 0x21, 0x4D, 0x00, 0x00, 0x6C, 0x40 });
    QTest::newRow("defaults") << defaultsMessage() << bytes({ 0x21, 0x4E, 0x00, 0x00, 0x6F, 0x40 });
    QTest::newRow("I/O 1 4mA at 4 mA") << codeMessage('G', kFourMaCode)
                                       << bytes({ 0x21, 0x47, 0x31, 0xC0, 0x21 ^ 0x47 ^ 0x31 ^ 0xC0, 0x40 });
    QTest::newRow("I/O 3 20mA at 20 mA") << codeMessage(
        'L', kTwentyMaCode) << bytes({ 0x21, 0x4C, 0xDC, 0xA4, 0x21 ^ 0x4C ^ 0xDC ^ 0xA4, 0x40 });
    QTest::newRow("no relay 0") << relayMessage(0, true) << QByteArray();
    QTest::newRow("no relay 8") << relayMessage(8, true) << QByteArray();
}

void TstCalibrationMessage::messagesByteForByte()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, expected);
    QCOMPARE(hexBytes(message), hexBytes(expected));
}

void TstCalibrationMessage::shortCodesArePaddedOnTheRight_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << 0 << 0x00 << 0x00 << "0";
    QTest::newRow("1 digit: 14 = E") << 14 << 0xE0 << 0x00 << "E";
    QTest::newRow("1 digit: 5") << 5 << 0x50 << 0x00 << "5";
    QTest::newRow("2 digits: 70 = 46") << 70 << 0x46 << 0x00 << "46";
    QTest::newRow("2 digits: 255 = FF") << 255 << 0xFF << 0x00 << "FF";
    QTest::newRow("3 digits: 500 = 1F4") << 500 << 0x1F << 0x40 << "1F4";
    QTest::newRow("3 digits: 4000 = FA0") << 4000 << 0xFA << 0x00 << "FA0";
    QTest::newRow("4 digits: 56484 = DCA4") << 56484 << 0xDC << 0xA4 << "DCA4";
    QTest::newRow("4 digits: 4096 = 1000") << 4096 << 0x10 << 0x00 << "1000";
    QTest::newRow("4 digits: 65535") << 65535 << 0xFF << 0xFF << "FFFF";
}

void TstCalibrationMessage::shortCodesArePaddedOnTheRight()
{
    QFETCH(int, code);
    QFETCH(int, high);
    QFETCH(int, low);
    QFETCH(QString, shown);
    QCOMPARE(codeBytes(quint16(code)), (CodeBytes { quint8(high), quint8(low) }));
    QCOMPARE(hexCode(code), shown);
    const QByteArray message = codeMessage('A', quint16(code));
    QCOMPARE(message.size(), kMessageSize);
    QCOMPARE(quint8(message[4]), quint8(0x21 ^ 0x41 ^ high ^ low));
}

void TstCalibrationMessage::currentConversion_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("milliamps");
    QTest::addColumn<bool>("roundTrip");
    QTest::newRow("4 mA point") << kFourMaCode << "4" << true;
    QTest::newRow("20 mA point") << kTwentyMaCode << "20" << true;
    QTest::newRow("12 mA") << (kFourMaCode + kTwentyMaCode) / 2 << "12" << true;
    QTest::newRow("slider top") << 65535 << "23.31" << true;
    // The shown rounding of the bottom lies just past the slider, so typing it back is refused.
    QTest::newRow("slider bottom") << 0 << "-0.66" << false;
}

void TstCalibrationMessage::currentConversion()
{
    QFETCH(int, code);
    QFETCH(QString, milliamps);
    QFETCH(bool, roundTrip);
    QCOMPARE(milliampsText(code), milliamps);
    const auto back = currentCodeFromText(milliamps);
    QCOMPARE(back.has_value(), roundTrip);
    // A hundredth of a milliampere spans about 27 codes.
    if (back)
        QVERIFY2(qAbs(*back - code) <= 14, qPrintable(QString::number(*back)));
    const auto panel = currentPanelTexts(code);
    QCOMPARE(boxText(panel, "ActualCurrentText"), milliamps);
    QCOMPARE(boxText(panel, "DtoA4_20ValueText"), hexCode(code));
}

void TstCalibrationMessage::typedCurrentsOutsideTheSliderAreRejected()
{
    QCOMPARE(currentCodeFromText("4"), std::optional<int>(kFourMaCode));
    QCOMPARE(currentCodeFromText(" 20 "), std::optional<int>(kTwentyMaCode));
    for (const char* bad : { "", " ", "abc", "4mA", "-1", "24", "1e300", "nan", "inf", "4,5" })
        QVERIFY2(!currentCodeFromText(QString::fromLatin1(bad)), bad);
}

void TstCalibrationMessage::transceiverValuesFromCodes_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("valueCaption");
    QTest::addColumn<QString>("codeCaption");
    QTest::addColumn<QString>("unit");
    QTest::newRow("Pulses 14") << 0 << 14 << "14"
                               << "Pulses Value:"
                               << "Pulses Code:"
                               << "";
    QTest::newRow("Gain 70") << 1 << 70 << "70"
                             << "Gain Value:"
                             << "Gain Code:"
                             << "";
    QTest::newRow("Threshold 65") << 2 << 65 << "1.27"
                                  << "Threshold Value:"
                                  << "Threshold Code:"
                                  << "Vdc";
    QTest::newRow("Threshold 255") << 2 << 255 << "5"
                                   << "Threshold Value:"
                                   << "Threshold Code:"
                                   << "Vdc";
    QTest::newRow("TBMin 500") << 3 << 500 << "750"
                               << "TBMin Value:"
                               << "TBMin Code:" << QString::fromUtf8("\u00b5s");
    QTest::newRow("TBMin 171") << 3 << 171 << "256.5"
                               << "TBMin Value:"
                               << "TBMin Code:" << QString::fromUtf8("\u00b5s");
    QTest::newRow("Power 150") << 4 << 150 << "17.65"
                               << "Transmitted Amplitude:"
                               << "Power Code:"
                               << "Vp-p";
    // The switch shows the power value (of the remembered code 150), times ten with "~" when on.
    QTest::newRow("Power * 10 off") << 5 << 0 << "17.65"
                                    << "Power * 10 Value:"
                                    << "Power * 10 Code:"
                                    << "Vp-p";
    QTest::newRow("Power * 10 on") << 5 << 1 << "176.47~"
                                   << "Power * 10 Value:"
                                   << "Power * 10 Code:"
                                   << "Vp-p";
}

void TstCalibrationMessage::transceiverValuesFromCodes()
{
    QFETCH(int, row);
    QFETCH(int, code);
    QFETCH(QString, value);
    const TransceiverParameter parameter = *transceiverParameterAt(row);
    const CalibrationState state;
    const auto panel = transceiverPanelTexts(parameter, code, state);
    QCOMPARE(boxText(panel, "TransceiverActualValueText"), value);
    QCOMPARE(boxText(panel, "TransceiverValueText"), hexCode(code));
    QTEST(boxText(panel, "TransceiverActualValueLabel"), "valueCaption");
    QTEST(boxText(panel, "TransceiverValueLabel"), "codeCaption");
    QTEST(boxText(panel, "UnitLabel"), "unit");
}

void TstCalibrationMessage::typedTransceiverValues_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("code"); // -1: "Invalid Value"
    QTest::newRow("Pulses 14") << 0 << "14" << 14;
    QTest::newRow("Pulses keeps the integer part") << 0 << "12.9" << 12;
    QTest::newRow("Pulses below the slider") << 0 << "4" << -1;
    QTest::newRow("Pulses above the slider") << 0 << "41" << -1;
    QTest::newRow("Gain 70") << 1 << "70" << 70;
    QTest::newRow("Gain 255") << 1 << "255" << 255;
    QTest::newRow("Gain 256") << 1 << "256" << -1;
    QTest::newRow("Threshold 1.27 V") << 2 << "1.27" << 65;
    QTest::newRow("Threshold 0 V") << 2 << "0" << 0;
    QTest::newRow("Threshold 5 V") << 2 << "5" << 255;
    QTest::newRow("Threshold 5.01 V") << 2 << "5.01" << -1;
    QTest::newRow("Threshold negative") << 2 << "-0.1" << -1;
    QTest::newRow("TBMin 750 us") << 3 << "750" << 500;
    QTest::newRow("TBMin 254 us") << 3 << "254" << -1;
    QTest::newRow("TBMin 6000 us") << 3 << "6000" << 4000;
    QTest::newRow("TBMin 6001.5 us") << 3 << "6001.5" << -1;
    QTest::newRow("Power 17.65 Vp-p") << 4 << "17.65" << 150;
    QTest::newRow("Power 30 Vp-p") << 4 << "30" << 255;
    QTest::newRow("Power 31 Vp-p") << 4 << "31" << -1;
    QTest::newRow("Power * 10 is set by the slider") << 5 << "1" << -1;
    QTest::newRow("empty") << 1 << "" << -1;
    QTest::newRow("blank") << 1 << "  " << -1;
    QTest::newRow("word") << 1 << "seventy" << -1;
    QTest::newRow("trailing unit") << 2 << "1.27V" << -1;
    QTest::newRow("huge") << 1 << "1e300" << -1;
    QTest::newRow("hexadecimal, as every box reads it") << 1 << "0x46" << 70;
    QTest::newRow("group separator") << 1 << "1,0" << -1;
}

void TstCalibrationMessage::typedTransceiverValues()
{
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(int, code);
    const auto got = transceiverCodeFromText(*transceiverParameterAt(row), typed);
    QCOMPARE(got.value_or(-1), code);
}

void TstCalibrationMessage::valueFormatAndTypedNumbers()
{
    QCOMPARE(formatValue(750.0), QString("750"));
    QCOMPARE(formatValue(1.2745), QString("1.27"));
    QCOMPARE(formatValue(0.005), QString("0.01"));
    QCOMPARE(formatValue(0.5), QString("0.5"));
    QCOMPARE(formatValue(-0.001), QString("0"));
    QCOMPARE(formatValue(-0.6581), QString("-0.66"));
    QCOMPARE(parseTypedNumber(" 1.5 "), std::optional<double>(1.5));
    QCOMPARE(parseTypedNumber("-2"), std::optional<double>(-2.0));
    for (const char* bad : { "", "1,5", "1 000", "1.2.3", "nan", "inf", "--1", "1e999" })
        QVERIFY2(!parseTypedNumber(QString::fromLatin1(bad)), bad);
}

void TstCalibrationMessage::defaultValueBoxes()
{
    CalibrationState state;
    auto boxes = valueBoxTexts(state);
    QCOMPARE(boxText(boxes, "PulsesText"), QString("14"));
    QCOMPARE(boxText(boxes, "GainText"), QString("70"));
    QCOMPARE(boxText(boxes, "ThresholdText"), QString("1.27"));
    QCOMPARE(boxText(boxes, "TBMinText"), QString("750"));
    QCOMPARE(boxText(boxes, "PowerText"), QString("17.65"));
    // The switch's box shows the value it gives, not the switch.
    QCOMPARE(boxText(boxes, "PowerX10Text"), QString("17.65"));
    state.setCode(TransceiverParameter::PowerX10, 1);
    state.setCode(TransceiverParameter::Power, 255);
    boxes = valueBoxTexts(state);
    QCOMPARE(boxText(boxes, "PowerText"), QString("300~"));
    QCOMPARE(boxText(boxes, "PowerX10Text"), QString("300~"));
    state.restoreTransceiverDefaults();
    QCOMPARE(state.codes, CalibrationState::defaultCodes());
}

QTEST_APPLESS_MAIN(TstCalibrationMessage)
#include "tst_calibration_message.moc"
