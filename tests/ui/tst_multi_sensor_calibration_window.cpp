#include "calibration/calibration_message.h"
#include "calibration/calibration_session.h"
#include "calibration/calibration_state.h"
#include "support/fake_byte_link.h"
#include "support/fake_prompter.h"
#include "support/offscreen_screen.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui_multi_sensor_calibration_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace velto;

namespace {

// Against hangs only: the follow-up is due after one second.
constexpr int kGuardMs = 10000;

struct Bench {
    Bench()
    {
        link.open("/dev/ttyFAKE0", "9600,n,8,1");
        window.show();
    }
    test::FakeByteLink link;
    test::FakePrompter prompter;
    calibration::CalibrationState state;
    int pollingStops = 0;
    ui::MultiSensorCalibrationWindow window { link, state, prompter, [this] { ++pollingStops; } };
    Ui::FormMultiSensorCalibration& f = window.form();

    QStringList sent() const
    {
        QStringList out;
        for (const QByteArray& m : link.written)
            out << calibration::hexBytes(m);
        return out;
    }
    bool commandsEnabled() const
    {
        return f.Current4_20Command->isEnabled() && f.TxRxParametersCommand->isEnabled()
            && f.DefaultParamrtersCommand->isEnabled();
    }
    bool commandsDisabled() const
    {
        return !f.Current4_20Command->isEnabled() && !f.TxRxParametersCommand->isEnabled()
            && !f.DefaultParamrtersCommand->isEnabled();
    }
    // Types into a box as an operator does and leaves it.
    void type(QLineEdit* box, const QString& text)
    {
        box->selectAll();
        QTest::keyClicks(box, text.isEmpty() ? QString() : text);
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QList<QWidget*> frames() const
    {
        return { f.CurrentCalibrationFrame, f.UltrasonicTransceiverCalibrationFrame, f.RelaysStatusFrame,
            f.TransceiverDefaultParametersFrame, f.TransmitterReceiverParametersValueFrame };
    }
};

const QString kFollowUp = QStringLiteral("21 4D 00 00 6C 40");

} // namespace

// FormMultiSensorCalibration on a fake link: the messages its controls send, the texts its panels
// show, and what it remembers between openings.
class TstMultiSensorCalibrationWindow : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheListsAndDefaults();
    void framesFollowTheConnection();
    void rowsSetCaptionsRangeAndPosition_data();
    void rowsSetCaptionsRangeAndPosition();
    void gainUpdateSendsTheMessageThenM();
    void defaultsSendNThenMAndShowTheDefaults();
    void escapeCloses();
    void relaysSendTheirState();
    void reopeningRestoresWithoutSending();
    void typedValuesMoveTheSlider();
    void invalidTypedValuesMoveNothing_data();
    void invalidTypedValuesMoveNothing();
    void currentRowsAndUpdate();
    void unsentRelayGoesBack();
    void loadStopsTheVeltoPolling();
    void fitsALaptopScreenAndNothingMoves();
};

void TstMultiSensorCalibrationWindow::opensWithTheListsAndDefaults()
{
    Bench b;
    b.window.Form_Load(true);
    QCOMPARE(b.window.objectName(), QString("FormMultiSensorCalibration"));
    QCOMPARE(b.window.windowTitle(), QString("MultiSensor Calibration"));
    QStringList currents;
    for (int i = 0; i < b.f.CurrentCombo->count(); ++i)
        currents << b.f.CurrentCombo->itemText(i);
    QCOMPARE(currents,
        (QStringList { "I/O 1 4mA", "I/O 2 4mA", "I/O 3 4mA", "I/O 1 20mA", "I/O 2 20mA", "I/O 3 20mA" }));
    QStringList parameters;
    for (int i = 0; i < b.f.RxTxParametersCombo->count(); ++i)
        parameters << b.f.RxTxParametersCombo->itemText(i);
    QCOMPARE(parameters, (QStringList { "Pulses", "Gain", "Threshold", "TBMin", "Power", "Power * 10" }));
    QCOMPARE(b.f.CurrentCombo->currentIndex(), 0);
    QCOMPARE(b.f.RxTxParametersCombo->currentIndex(), 0);
    QCOMPARE(b.f.Current4_20Slider->value(), calibration::kFourMaCode);
    QCOMPARE(b.f.ActualCurrentText->text(), QString("4"));
    QCOMPARE(b.f.DtoA4_20ValueText->text(), QString("31C0"));
    QCOMPARE(b.f.TransceiverSlider->value(), 14);
    QCOMPARE(b.f.TransceiverValueText->text(), QString("E"));
    QCOMPARE(b.f.PulsesText->text(), QString("14"));
    QCOMPARE(b.f.GainText->text(), QString("70"));
    QCOMPARE(b.f.ThresholdText->text(), QString("1.27"));
    QCOMPARE(b.f.TBMinText->text(), QString("750"));
    QCOMPARE(b.f.PowerText->text(), QString("17.65"));
    QCOMPARE(b.f.PowerX10Text->text(), QString("17.65"));
    QCOMPARE(b.f.Current4_20Command->text(), QString("Update "));
    QCOMPARE(b.f.DefaultParamrtersCommand->text(), QString("Default Paramrters"));
    QVERIFY(b.state.CalibrationShownBefore);
    QVERIFY(b.link.written.isEmpty());
}

void TstMultiSensorCalibrationWindow::framesFollowTheConnection()
{
    Bench b;
    b.window.Form_Load(false);
    for (QWidget* frame : b.frames())
        QVERIFY2(!frame->isEnabled(), qPrintable(frame->objectName()));
    b.window.Form_Load(true);
    for (QWidget* frame : b.frames())
        QVERIFY2(frame->isEnabled(), qPrintable(frame->objectName()));
}

void TstMultiSensorCalibrationWindow::rowsSetCaptionsRangeAndPosition_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("valueCaption");
    QTest::addColumn<QString>("codeCaption");
    QTest::addColumn<QString>("unit");
    QTest::newRow("Pulses") << 0 << 5 << 40 << 14 << "14"
                            << "Pulses Value:"
                            << "Pulses Code:"
                            << "";
    QTest::newRow("Gain") << 1 << 5 << 255 << 70 << "70"
                          << "Gain Value:"
                          << "Gain Code:"
                          << "";
    QTest::newRow("Threshold") << 2 << 0 << 255 << 65 << "1.27"
                               << "Threshold Value:"
                               << "Threshold Code:"
                               << "Vdc";
    QTest::newRow("TBMin") << 3 << 170 << 4000 << 500 << "750"
                           << "TBMin Value:"
                           << "TBMin Code:" << QString::fromUtf8("\u00b5s");
    QTest::newRow("Power") << 4 << 0 << 255 << 150 << "17.65"
                           << "Transmitted Amplitude:"
                           << "Power Code:"
                           << "Vp-p";
    QTest::newRow("Power * 10") << 5 << 0 << 1 << 0 << "17.65"
                                << "Power * 10 Value:"
                                << "Power * 10 Code:"
                                << "Vp-p";
}

void TstMultiSensorCalibrationWindow::rowsSetCaptionsRangeAndPosition()
{
    QFETCH(int, row);
    Bench b;
    b.window.Form_Load(true);
    // From the far end of another row, so a clamped or stale slider would show.
    b.f.RxTxParametersCombo->setCurrentIndex(row == 3 ? 1 : 3);
    b.f.TransceiverSlider->setValue(b.f.TransceiverSlider->maximum());
    b.f.RxTxParametersCombo->setCurrentIndex(row);
    QTEST(b.f.TransceiverSlider->minimum(), "min");
    QTEST(b.f.TransceiverSlider->maximum(), "max");
    QTEST(b.f.TransceiverSlider->value(), "position");
    QTEST(b.f.TransceiverActualValueText->text(), "value");
    QTEST(b.f.TransceiverActualValueLabel->text(), "valueCaption");
    QTEST(b.f.TransceiverValueLabel->text(), "codeCaption");
    QTEST(b.f.UnitLabel->text(), "unit");
    QVERIFY(b.link.written.isEmpty());
}

void TstMultiSensorCalibrationWindow::gainUpdateSendsTheMessageThenM()
{
    Bench b;
    b.window.Form_Load(true);
    b.f.RxTxParametersCombo->setCurrentIndex(1);
    b.f.TransceiverSlider->setValue(71);
    QCOMPARE(b.f.TransceiverValueText->text(), QString("47"));
    QCOMPARE(b.f.GainText->text(), QString("70")); // nothing sent yet
    b.f.TransceiverSlider->setValue(70);
    QSignalSpy finished(&b.window.session(), &calibration::CalibrationSession::sequenceFinished);
    QTest::mouseClick(b.f.TxRxParametersCommand, Qt::LeftButton);
    QCOMPARE(b.sent(), QStringList { "21 42 46 00 25 40" });
    QVERIFY(b.commandsDisabled());
    QVERIFY(finished.wait(kGuardMs));
    QCOMPARE(b.sent(), (QStringList { "21 42 46 00 25 40", kFollowUp }));
    QVERIFY(b.commandsEnabled());
    QCOMPARE(b.state.ParameterIndex, 1);

    // A power change shows in the Power box, in its "~" form once the switch is on.
    b.f.RxTxParametersCombo->setCurrentIndex(5);
    b.f.TransceiverSlider->setValue(1);
    QCOMPARE(b.f.TransceiverActualValueText->text(), QString("176.47~"));
    QTest::mouseClick(b.f.TxRxParametersCommand, Qt::LeftButton);
    QCOMPARE(b.sent().last(), QString("21 46 10 00 77 40"));
    QCOMPARE(b.f.PowerText->text(), QString("176.47~"));
    // The switch's box shows its value too, not the switch's 1.
    QCOMPARE(b.f.PowerX10Text->text(), QString("176.47~"));
    QVERIFY(finished.wait(kGuardMs));
    QCOMPARE(b.sent().last(), kFollowUp);
    QVERIFY(b.prompter.messages.isEmpty());
}

void TstMultiSensorCalibrationWindow::defaultsSendNThenMAndShowTheDefaults()
{
    Bench b;
    b.state.setCode(calibration::TransceiverParameter::Pulses, 40);
    b.state.setCode(calibration::TransceiverParameter::TBMin, 200);
    b.window.Form_Load(true);
    b.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&b.window));
    QCOMPARE(b.f.PulsesText->text(), QString("40"));
    QCOMPARE(b.f.TransceiverSlider->value(), 40);
    QSignalSpy finished(&b.window.session(), &calibration::CalibrationSession::sequenceFinished);
    // Pressed from the keyboard: the focus must not pass to a relay box, which Space would switch.
    b.f.DefaultParamrtersCommand->setFocus();
    QTest::keyClick(b.f.DefaultParamrtersCommand, Qt::Key_Space);
    QCOMPARE(b.sent(), QStringList { "21 4E 00 00 6F 40" });
    QVERIFY(b.commandsDisabled());
    QVERIFY(!qobject_cast<QCheckBox*>(QApplication::focusWidget()));
    QCOMPARE(b.f.PulsesText->text(), QString("40"));
    QVERIFY(finished.wait(kGuardMs));
    QCOMPARE(b.sent(), (QStringList { "21 4E 00 00 6F 40", kFollowUp }));
    QVERIFY(b.commandsEnabled());
    QCOMPARE(QApplication::focusWidget(), b.f.DefaultParamrtersCommand);
    QCOMPARE(b.f.PulsesText->text(), QString("14"));
    QCOMPARE(b.f.TBMinText->text(), QString("750"));
    QCOMPARE(b.f.TransceiverSlider->value(), 14);
    QVERIFY(!b.f.RelayNo1Check->isChecked());
}

// Escape closes the window as its frame's close button does, and says so for the main window.
void TstMultiSensorCalibrationWindow::escapeCloses()
{
    Bench b;
    b.window.Form_Load(true);
    QSignalSpy closed(&b.window, &ui::MultiSensorCalibrationWindow::closed);
    QTest::keyClick(b.f.RxTxParametersCombo, Qt::Key_Escape);
    QCOMPARE(closed.size(), 1);
    QVERIFY(b.window.isHidden());
}

void TstMultiSensorCalibrationWindow::relaysSendTheirState()
{
    Bench b;
    b.window.Form_Load(true);
    QTest::mouseClick(b.f.RelayNo3Check, Qt::LeftButton);
    QCOMPARE(b.sent(), QStringList { "21 51 00 01 71 40" });
    QTest::mouseClick(b.f.RelayNo3Check, Qt::LeftButton);
    QCOMPARE(b.sent().last(), QString("21 51 00 00 70 40"));
    QTest::mouseClick(b.f.MultiSensorRelayCheck, Qt::LeftButton);
    QCOMPARE(b.sent().last(), QString("21 55 00 01 75 40"));
    QVERIFY(!b.state.relay(3));
    QVERIFY(b.state.relay(calibration::kMultiSensorRelay));
    QCOMPARE(b.link.written.size(), 3);
}

void TstMultiSensorCalibrationWindow::reopeningRestoresWithoutSending()
{
    Bench b;
    b.window.Form_Load(true);
    QTest::mouseClick(b.f.RelayNo2Check, Qt::LeftButton);
    QTest::mouseClick(b.f.RelayNo6Check, Qt::LeftButton);
    b.f.CurrentCombo->setCurrentIndex(4);
    QTest::mouseClick(b.f.Current4_20Command, Qt::LeftButton);
    b.f.RxTxParametersCombo->setCurrentIndex(2);
    b.f.TransceiverSlider->setValue(100);
    QTest::mouseClick(b.f.TxRxParametersCommand, Qt::LeftButton);
    // Moved but never sent: not what the window shows when it opens again.
    b.f.RxTxParametersCombo->setCurrentIndex(1);
    b.f.TransceiverSlider->setValue(200);
    b.window.close();
    const qsizetype sentBefore = b.link.written.size();

    // The window is made anew, as after the program's window was destroyed, on the same state.
    ui::MultiSensorCalibrationWindow again(b.link, b.state, b.prompter, {});
    again.show();
    again.Form_Load(true);
    Ui::FormMultiSensorCalibration& f = again.form();
    QCOMPARE(f.RxTxParametersCombo->currentIndex(), 2);
    QCOMPARE(f.TransceiverSlider->value(), 100);
    QCOMPARE(f.ThresholdText->text(), QString("1.96"));
    QCOMPARE(f.GainText->text(), QString("70"));
    QCOMPARE(f.CurrentCombo->currentIndex(), 4);
    QCOMPARE(f.Current4_20Slider->value(), calibration::kTwentyMaCode);
    QVERIFY(f.RelayNo2Check->isChecked());
    QVERIFY(f.RelayNo6Check->isChecked());
    QVERIFY(!f.RelayNo1Check->isChecked());
    // The follow-up of the update may still be due; no relay message goes out.
    QSignalSpy finished(&b.window.session(), &calibration::CalibrationSession::sequenceFinished);
    QVERIFY(finished.wait(kGuardMs));
    QCOMPARE(b.link.written.size(), sentBefore + 1);
    QCOMPARE(b.sent().last(), kFollowUp);
}

void TstMultiSensorCalibrationWindow::typedValuesMoveTheSlider()
{
    Bench b;
    b.window.Form_Load(true);
    b.f.RxTxParametersCombo->setCurrentIndex(3);
    b.type(b.f.TransceiverActualValueText, "1500");
    QCOMPARE(b.f.TransceiverSlider->value(), 1000);
    QCOMPARE(b.f.TransceiverValueText->text(), QString("3E8"));
    b.type(b.f.TransceiverActualValueText, "1000.4");
    QCOMPARE(b.f.TransceiverSlider->value(), 667);
    QCOMPARE(b.f.TransceiverActualValueText->text(), QString("1000.5"));
    b.type(b.f.ActualCurrentText, "20");
    QCOMPARE(b.f.Current4_20Slider->value(), calibration::kTwentyMaCode);
    QCOMPARE(b.f.DtoA4_20ValueText->text(), QString("DCA4"));
    QVERIFY(b.prompter.messages.isEmpty());
    QVERIFY(b.link.written.isEmpty());
    // The Power * 10 switch is moved by its slider only.
    b.f.RxTxParametersCombo->setCurrentIndex(5);
    QVERIFY(b.f.TransceiverActualValueText->isReadOnly());
    b.f.RxTxParametersCombo->setCurrentIndex(4);
    QVERIFY(!b.f.TransceiverActualValueText->isReadOnly());
}

void TstMultiSensorCalibrationWindow::invalidTypedValuesMoveNothing_data()
{
    QTest::addColumn<bool>("current");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // names what the box takes
    const QString current = "Invalid Value: enter a current from -0.66 to 23.31 mA";
    QTest::newRow("gain above the slider") << false << 1 << "300"
                                           << "Invalid Value: enter a Gain value from 5 to 255";
    QTest::newRow("pulses below the slider") << false << 0 << "4"
                                             << "Invalid Value: enter a Pulses value from 5 to 40";
    QTest::newRow("threshold not a number") << false << 2 << "abc"
                                            << "Invalid Value: enter a Threshold value from 0 to 5 Vdc";
    QTest::newRow("TBMin empty") << false << 3 << ""
                                 << QString::fromUtf8(
                                        "Invalid Value: enter a TBMin value from 255 to 6000 \u00b5s");
    QTest::newRow("power above the slider") << false << 4 << "31"
                                            << "Invalid Value: enter a Power value from 0 to 30 Vp-p";
    QTest::newRow("current above the slider") << true << 0 << "25" << current;
    QTest::newRow("current below the slider") << true << 0 << "-1" << current;
    QTest::newRow("current not a number") << true << 0 << "4 mA" << current;
}

void TstMultiSensorCalibrationWindow::invalidTypedValuesMoveNothing()
{
    QFETCH(bool, current);
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    Bench b;
    b.window.Form_Load(true);
    QSlider* slider = current ? b.f.Current4_20Slider : b.f.TransceiverSlider;
    QLineEdit* box = current ? b.f.ActualCurrentText : b.f.TransceiverActualValueText;
    if (!current)
        b.f.RxTxParametersCombo->setCurrentIndex(row);
    const int before = slider->value();
    const QString shown = box->text();
    b.type(box, typed);
    QCOMPARE(b.prompter.texts(), QStringList { message });
    QCOMPARE(b.prompter.messages.first().title, QString());
    QCOMPARE(slider->value(), before);
    QCOMPARE(box->text(), shown);
    QVERIFY(b.link.written.isEmpty());
}

void TstMultiSensorCalibrationWindow::currentRowsAndUpdate()
{
    Bench b;
    b.window.Form_Load(true);
    b.f.RxTxParametersCombo->setCurrentIndex(2);
    b.f.CurrentCombo->setCurrentIndex(3);
    QCOMPARE(b.f.Current4_20Slider->value(), calibration::kTwentyMaCode);
    QCOMPARE(b.f.ActualCurrentText->text(), QString("20"));
    // The threshold value keeps its unit while a current row is chosen.
    QCOMPARE(b.f.UnitLabel->text(), QString("Vdc"));
    b.f.Current4_20Slider->setValue(calibration::kTwentyMaCode + 100);
    QCOMPARE(b.f.ActualCurrentText->text(), QString("20.04"));
    QTest::mouseClick(b.f.Current4_20Command, Qt::LeftButton);
    QCOMPARE(b.sent(), QStringList { "21 4A DD 08 BE 40" });
    QVERIFY(b.commandsEnabled());
    QCOMPARE(b.state.CurrentIndex, 3);
    b.f.CurrentCombo->setCurrentIndex(2);
    QCOMPARE(b.f.Current4_20Slider->value(), calibration::kFourMaCode);
    QCOMPARE(b.link.written.size(), 1);
}

void TstMultiSensorCalibrationWindow::unsentRelayGoesBack()
{
    Bench b;
    b.window.Form_Load(true);
    b.link.close();
    QTest::mouseClick(b.f.RelayNo4Check, Qt::LeftButton);
    QVERIFY(!b.f.RelayNo4Check->isChecked());
    QVERIFY(!b.state.relay(4));
    QCOMPARE(b.prompter.messages.size(), 1);
    QVERIFY(b.prompter.lastText().contains("not sent"));
    QTest::mouseClick(b.f.TxRxParametersCommand, Qt::LeftButton);
    QVERIFY(b.commandsEnabled());
    QCOMPARE(b.prompter.messages.size(), 2);
    QVERIFY(b.link.written.isEmpty());
}

void TstMultiSensorCalibrationWindow::loadStopsTheVeltoPolling()
{
    Bench b;
    b.window.Form_Load(true);
    QCOMPARE(b.pollingStops, 1);
    b.window.Form_Load(false);
    QCOMPARE(b.pollingStops, 2);
}

void TstMultiSensorCalibrationWindow::fitsALaptopScreenAndNothingMoves()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    if (screen.size() != QSize(1366, 768))
        QSKIP("needs the offscreen platform's 1366x768 screen");
    // A parent in the main window's place; the window opens centred over it.
    QWidget main;
    main.resize(800, 600);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    test::FakeByteLink link;
    test::FakePrompter prompter;
    calibration::CalibrationState state;
    ui::MultiSensorCalibrationWindow window(link, state, prompter, {}, &main);
    window.Form_Load(true);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(screen.contains(window.frameGeometry()));
    QVERIFY(qAbs(window.frameGeometry().center().x() - main.frameGeometry().center().x()) <= 2);

    // Captions, units and values change with the row and the slider; the boxes stay where they are.
    Ui::FormMultiSensorCalibration& f = window.form();
    QList<QWidget*> watched { f.TransceiverActualValueText, f.TransceiverValueText, f.UnitLabel,
        f.TxRxParametersCommand, f.ActualCurrentText, f.PulsesText };
    auto places = [&watched] {
        QList<QRect> out;
        for (QWidget* w : watched)
            out << QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
        return out;
    };
    const QList<QRect> before = places();
    for (int row = 0; row < f.RxTxParametersCombo->count(); ++row) {
        f.RxTxParametersCombo->setCurrentIndex(row);
        f.TransceiverSlider->setValue(f.TransceiverSlider->maximum());
        f.CurrentCombo->setCurrentIndex(row);
        QApplication::processEvents();
        QCOMPARE(places(), before);
    }
}

VELTO_QTEST_MAIN_ON_SCREEN(TstMultiSensorCalibrationWindow, 1366, 768)
#include "tst_multi_sensor_calibration_window.moc"
