#include "radar/radar_fields.h"

#include <QTest>

using namespace velto::radar;

Q_DECLARE_METATYPE(const FieldRule*)

class TstRadarFields : public QObject {
    Q_OBJECT
private slots:
    void fieldChecks_data();
    void fieldChecks();
    void blockRanges_data();
    void blockRanges();
};

void TstRadarFields::fieldChecks_data()
{
    QTest::addColumn<const FieldRule*>("rule");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("message");
    const QString none;
    QTest::newRow("9000 MHz")
        << &kCentralFrequencyRule << "9000" << 10050.0
        << "Wrong value. Enter a valid central frequency value, between 9500 MHz to 10600 MHz "
           "(default value 10050 MHz)";
    QTest::newRow("10600 MHz") << &kCentralFrequencyRule << "10600" << 10600.0 << none;
    QTest::newRow("band 49")
        << &kBandRule << "49" << 1100.0
        << "Wrong value. Enter a valid band value, between 1100 MHz to 50 MHz (default value "
           "1100 MHz)";
    QTest::newRow("band 50") << &kBandRule << "50" << 50.0 << none;
    QTest::newRow("no. of meas. 0")
        << &kNumOfAutomeasurementRule << "0" << 5.0
        << "Wrong value. Enter a valid no. of Measurement value, between 1 to 32767 "
           "(default value 5)";
    QTest::newRow("no. of meas. 32767") << &kNumOfAutomeasurementRule << "32767" << 32767.0 << none;
    QTest::newRow("tank height letters")
        << &kTankHeightRule << "abc" << 0.0
        << "Wrong value. Enter a valid tank height value, between 0 to 40000 mm "
           "(default value 0)";
    QTest::newRow("tank height 40001")
        << &kTankHeightRule << "40001" << 0.0
        << "Wrong value. Enter a valid tank height value, between 0 to 40000 mm "
           "(default value 0)";
    QTest::newRow("true height empty") << &kTrueLiquidHeightRule << "" << 0.0
                                       << "Wrong value. Enter a valid true liquid height value, between 0 to "
                                          "40000 mm (default value 0)";
    QTest::newRow("rts 0") << &kRtsDelayRule << "0" << 0.0 << none;
    QTest::newRow("rts too long")
        << &kRtsDelayRule << "10000001" << 250000.0
        << "Wrong value. Enter a valid RTS Delay value, between 0 to 10000000 (default "
           "value 250000)";
    QTest::newRow("offset -0.25") << &kDistanceOffsetRule << "-0.25" << -0.25 << none;
    QTest::newRow("offset 1.5")
        << &kDistanceOffsetRule << "1.5" << 0.0
        << "Wrong value. Enter a valid Distance Offset value, between -1m to 1m (default "
           "value 0)";
    QTest::newRow("whole numbers only")
        << &kBandRule << "100.5" << 1100.0
        << "Wrong value. Enter a valid band value, between 1100 MHz to 50 MHz "
           "(default value 1100 MHz)";
}

void TstRadarFields::fieldChecks()
{
    QFETCH(const FieldRule*, rule);
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(QString, message);
    const FieldDecision d = checkField(*rule, text);
    QCOMPARE(d.value, value);
    QCOMPARE(d.message.value_or(QString()), message);
    if (d.message)
        QCOMPARE(checkField(*rule, rule->defaultText()).value, value);
}

void TstRadarFields::blockRanges_data()
{
    QTest::addColumn<bool>("fft");
    QTest::addColumn<bool>("start");
    QTest::addColumn<int>("fromStart");
    QTest::addColumn<int>("fromEnd");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("toStart");
    QTest::addColumn<int>("toEnd");
    QTest::newRow("FFT end 70") << true << false << 1 << 4 << "70" << 1 << 4;
    QTest::newRow("FFT end 70, start 3") << true << false << 3 << 10 << "70" << 3 << 4;
    QTest::newRow("FFT end 64") << true << false << 2 << 4 << "64" << 2 << 64;
    QTest::newRow("FFT end below start") << true << false << 3 << 10 << "2" << 1 << 4;
    QTest::newRow("FFT end 0") << true << false << 1 << 10 << "0" << 1 << 4;
    QTest::newRow("FFT start above end") << true << true << 1 << 4 << "5" << 1 << 4;
    QTest::newRow("FFT start 3") << true << true << 1 << 4 << "3" << 3 << 4;
    QTest::newRow("FFT start 0") << true << true << 2 << 4 << "0" << 1 << 4;
    QTest::newRow("FFT start blank") << true << true << 2 << 4 << "" << 1 << 4;
    // The end falls back below the start: the start follows, so the range is never empty.
    QTest::newRow("FFT end 70, start 10") << true << false << 10 << 20 << "70" << 1 << 4;
    QTest::newRow("RAW start 8") << false << true << 10 << 12 << "8" << 9 << 12;
    QTest::newRow("RAW end 236") << false << false << 9 << 40 << "236" << 9 << 12;
    QTest::newRow("RAW end 235") << false << false << 9 << 12 << "235" << 9 << 235;
    QTest::newRow("RAW end 100, start 150") << false << false << 150 << 200 << "100" << 9 << 12;
}

void TstRadarFields::blockRanges()
{
    QFETCH(bool, fft);
    QFETCH(bool, start);
    QFETCH(int, fromStart);
    QFETCH(int, fromEnd);
    QFETCH(QString, text);
    QFETCH(int, toStart);
    QFETCH(int, toEnd);
    const BlockLimits& limits = fft ? kFftBlockLimits : kRawBlockLimits;
    const BlockRange from { fromStart, fromEnd };
    const BlockRange to = start ? checkBlockStart(limits, from, text) : checkBlockEnd(limits, from, text);
    QCOMPARE(to.start, toStart);
    QCOMPARE(to.end, toEnd);
}

QTEST_GUILESS_MAIN(TstRadarFields)
#include "tst_radar_fields.moc"
