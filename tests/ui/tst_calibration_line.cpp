#include "calibration/calibration_state.h"
#include "serial/qt_byte_link.h"
#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "support/fake_prompter.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui_multi_sensor_calibration_window.h"

#include <QTest>

using namespace velto;

namespace {
// Only catches hangs.
constexpr int kGuardMs = 10000;
constexpr int kGainIndex = 1;
constexpr int kPowerIndex = 4;
} // namespace

// The calibration window over a real pseudo-terminal, with the simulated multi-sensor unit on the
// far end: what the unit ends up holding is what the operator set.
class TstCalibrationLine : public QObject {
    Q_OBJECT
private slots:
    void calibratesTheSimulatedUnit();
};

void TstCalibrationLine::calibratesTheSimulatedUnit()
{
    sim::ManualClock clock;
    sim::SimulatedLine line(clock);
    QVERIFY(line.isValid());
    serial::QtByteLink link;
    QVERIFY(link.open(line.devicePath(), "9600,n,8,1"));
    test::FakePrompter prompter;
    calibration::CalibrationState state;
    ui::MultiSensorCalibrationWindow window(link, state, prompter, {});
    window.show();
    window.Form_Load(true);
    Ui::FormMultiSensorCalibration& f = window.form();
    const sim::CalibrationUnit& unit = line.simulator().calibrationUnit();

    f.RxTxParametersCombo->setCurrentIndex(kGainIndex);
    f.TransceiverSlider->setValue(0xC8);
    QTest::mouseClick(f.TxRxParametersCommand, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(unit.transceiverWord(kGainIndex), quint16(0xC800), kGuardMs);
    QTRY_COMPARE_WITH_TIMEOUT(unit.followUps(), 1, kGuardMs);
    QCOMPARE(unit.appliedTransceiverWord(kGainIndex), quint16(0xC800));

    f.CurrentCombo->setCurrentIndex(1);
    f.ActualCurrentText->selectAll();
    QTest::keyClicks(f.ActualCurrentText, "4.02");
    QTest::keyClick(f.ActualCurrentText, Qt::Key_Return);
    QTest::mouseClick(f.Current4_20Command, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(unit.currentWord(1), quint16(f.Current4_20Slider->value()), kGuardMs);
    QCOMPARE(f.Current4_20Slider->value(), 12791);

    QTest::mouseClick(f.RelayNo5Check, Qt::LeftButton);
    QTest::mouseClick(f.MultiSensorRelayCheck, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(unit.relay(5) && unit.relay(7), kGuardMs);

    f.RxTxParametersCombo->setCurrentIndex(kPowerIndex);
    f.TransceiverSlider->setValue(200);
    QTRY_VERIFY_WITH_TIMEOUT(f.TxRxParametersCommand->isEnabled(), kGuardMs);
    QTest::mouseClick(f.TxRxParametersCommand, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(unit.followUps(), 2, kGuardMs);
    QCOMPARE(unit.appliedTransceiverWord(kPowerIndex), quint16(0xC800));

    QTest::mouseClick(f.DefaultParamrtersCommand, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(unit.followUps(), 3, kGuardMs);
    QCOMPARE(unit.defaultsRestored(), 1);
    QCOMPARE(unit.appliedTransceiverWord(kGainIndex), quint16(0x4600));
    QCOMPARE(unit.rejected(), 0);
    QCOMPARE(unit.accepted(), 9);
    QVERIFY(prompter.messages.isEmpty());
}

QTEST_MAIN(TstCalibrationLine)
#include "tst_calibration_line.moc"
