#include "radar/measurement_sequence.h"
#include "radar/radar_controller.h"
#include "serial/qt_byte_link.h"
#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "support/fake_byte_link.h"
#include "support/fake_prompter.h"
#include "ui/form_fft_or_raw_graph.h"
#include "ui/form_rendo.h"
#include "ui_form_rendo.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;

namespace {

// Past the one-second settling wait; only catches hangs.
constexpr int kSettleGuardMs = 10000;
constexpr int kRunGuardMs = 120000;

template <typename Link> struct Rig {
    Link link;
    test::FakePrompter prompter;
    ui::FormRendo window { link, prompter };
    QTimer& timerRx = *window.controller().link().timerRx();
    Ui::FormRendo& f = window.form();

    Rig() { window.show(); }
    template <typename T = QWidget> T* control(const char* name)
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    void type(QLineEdit* box, const QString& text)
    {
        box->clear();
        QTest::keyClicks(box, text);
    }
};

} // namespace

class TstFormRendo : public QObject {
    Q_OBJECT
private slots:
    void controlsAndDefaults();
    void disconnectedButtonsStayOff();
    void fieldChecksAfterTyping();
    void blockRangesCorrectSilently();
    void checkBoxInterplay();
    void startRunsTheWholeSequenceOnTheSimulatedLine();
    void exitHandsBack();
    void seriesKeepsTheSensorsPace();
    void commandsCarryWhatWasJustTyped();
    void controlsKeepTheirPlace_data();
    void controlsKeepTheirPlace();
    void fileFailureEndsTheRun();
    void filePathIsShown();
};

void TstFormRendo::controlsAndDefaults()
{
    Rig<test::FakeByteLink> rig;
    QCOMPARE(rig.window.objectName(), QString("FormRendo"));
    const QList<QPair<const char*, const char*>> texts { { "CentralFrequencyText", "10050" },
        { "BandTextBox", "1100" }, { "TankHeightTextBox", "0" }, { "TrueLiquidHeightTextBox", "0" },
        { "RTSDelayText", "250000" }, { "SignalToNoiseText", "N/A" }, { "ReceiveBuffSize", "N/A" },
        { "ModeText", "N/A" }, { "DistanceOrLevelText", "N/A" }, { "DistanceOffsetText", "0" },
        { "DistanceAfterOffsetText", "N/A" }, { "DistanceByLaserText", "" },
        { "NumOfAutomeasurementText", "5" }, { "CounterOfMeasText", "0" }, { "FFTStartBlockText", "1" },
        { "FFTEndBlockText", "4" }, { "RAWStartBlockText", "9" }, { "RAWEndBlockText", "12" },
        { "FileNameText", "Data_date_001.txt" }, { "MoreIndexText", "0" },
        { "StatusText", "Wait For Start" } };
    for (const auto& [name, text] : texts) {
        auto* box = rig.control<QLineEdit>(name);
        QVERIFY2(box, name);
        QCOMPARE(box->text(), QString(text));
    }
    const QList<QPair<const char*, const char*>> captions { { "Standby", "Standby" }, { "Track", "Track" },
        { "Set_Parameters", "Set Parameters" }, { "SendStatus", "Send Status" },
        { "MonitoringCommand", "Monitoring" }, { "StartOrStopMeasCommand", "Start " },
        { "MoreCommand", "More" }, { "ExitCommand", "Exit" },
        { "PeriodicalMeasurementCheck", "Periodical Measurement" }, { "SpectrumCheck", "Spectrum Data" },
        { "TimeDomainCheck", "Time Domain Data" }, { "PresentCheck", "Graph " },
        { "OpenMonitoringFileCheck", "Save Monitoring to File" } };
    for (const auto& [name, caption] : captions) {
        auto* button = rig.control<QAbstractButton>(name);
        QVERIFY2(button, name);
        QCOMPARE(button->text(), QString(caption));
    }
    QCOMPARE(rig.control<QLabel>("DistanceOrLevelLabel")->text(), QString("Level (m)"));
    QVERIFY(rig.f.OpenMonitoringFileCheck->isChecked());
    QVERIFY(!rig.f.MoreCommand->isEnabled());
    QCOMPARE(rig.f.FftOrRawCombo->count(), 2);
    QCOMPARE(rig.f.FftOrRawCombo->currentText(), QString("RAW"));
    QCOMPARE(rig.f.FileTypeCombo->currentText(), QString("TXT"));
    QCOMPARE(rig.window.controller().monitoringKind(), radar::MonitoringKind::TimeDomain);
    for (const char* hidden :
        { "FFTStartBlockText", "FFTEndBlockText", "RAWStartBlockText", "RAWEndBlockText" })
        QVERIFY2(!rig.control(hidden)->isVisible(), hidden);
    for (const char* shown : { "FileTypeCombo", "FileNameText" })
        QVERIFY2(rig.control(shown)->isVisible(), shown);
    QCOMPARE(rig.control<QTimer>("Timer_Rx"), &rig.timerRx); // the window's own
    QCOMPARE(rig.timerRx.interval(), 250);

    rig.f.FftOrRawCombo->setCurrentIndex(0);
    emit rig.f.FftOrRawCombo->activated(0);
    QCOMPARE(rig.window.controller().monitoringKind(), radar::MonitoringKind::Spectrum);
}

void TstFormRendo::disconnectedButtonsStayOff()
{
    Rig<test::FakeByteLink> rig;
    rig.window.setConnected(false);
    for (const char* name :
        { "Standby", "Track", "Set_Parameters", "SendStatus", "MonitoringCommand", "StartOrStopMeasCommand" })
        QVERIFY2(!rig.control(name)->isEnabled(), name);
    QCOMPARE(rig.f.TextTerminaTextBox->toPlainText(), QString("N/A"));

    rig.link.opened = true;
    rig.window.setConnected(true);
    for (const char* name :
        { "Standby", "Track", "Set_Parameters", "SendStatus", "MonitoringCommand", "StartOrStopMeasCommand" })
        QVERIFY2(rig.control(name)->isEnabled(), name);
    QTest::mouseClick(rig.f.Standby, Qt::LeftButton);
    QCOMPARE(rig.link.written.size(), 1);
    QCOMPARE(rig.f.ModeText->text(), QString("StandBy"));
    QVERIFY(rig.timerRx.isActive());
}

void TstFormRendo::fieldChecksAfterTyping()
{
    Rig<test::FakeByteLink> rig;
    rig.link.opened = true;
    rig.window.setConnected(true);
    rig.type(rig.f.CentralFrequencyText, "9000");
    QVERIFY(rig.prompter.messages.isEmpty()); // the operator may still be typing
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages.size(), 1, kSettleGuardMs);
    QCOMPARE(rig.prompter.lastText(),
        QString("Wrong value. Enter a valid central frequency value, between 9500 MHz to 10600 MHz (default "
                "value "
                "10050 MHz)"));
    QCOMPARE(rig.f.CentralFrequencyText->text(), QString("10050"));

    rig.type(rig.f.TankHeightTextBox, "1234");
    rig.type(rig.f.DistanceOffsetText, "-0.5");
    QTRY_COMPARE_WITH_TIMEOUT(rig.window.controller().inputs().distanceOffsetM, -0.5, kSettleGuardMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig.window.controller().inputs().parameters.tankHeightMm, 1234, kSettleGuardMs);
    QCOMPARE(rig.prompter.messages.size(), 1);
    // A command leaves at once, with the values as the checks left them.
    QTest::mouseClick(rig.f.Set_Parameters, Qt::LeftButton);
    QCOMPARE(rig.link.written.last().mid(4, 6).toHex(' '), QByteArray("42 27 4c 04 d2 04"));
}

void TstFormRendo::blockRangesCorrectSilently()
{
    Rig<test::FakeByteLink> rig;
    rig.f.PresentCheck->click();
    rig.f.SpectrumCheck->click();
    QVERIFY(rig.f.FFTEndBlockText->isVisible());
    rig.type(rig.f.FFTEndBlockText, "70");
    QTRY_COMPARE_WITH_TIMEOUT(rig.f.FFTEndBlockText->text(), QString("4"), kSettleGuardMs);
    QVERIFY(rig.prompter.messages.isEmpty());
    rig.type(rig.f.FFTEndBlockText, "10");
    rig.type(rig.f.FFTStartBlockText, "3");
    QTRY_COMPARE_WITH_TIMEOUT(
        rig.window.controller().inputs().fft, (radar::BlockRange { 3, 10 }), kSettleGuardMs);
    QCOMPARE(rig.f.FFTStartBlockText->text(), QString("3"));
}

void TstFormRendo::checkBoxInterplay()
{
    Rig<test::FakeByteLink> rig;
    Ui::FormRendo& f = rig.f;
    f.PeriodicalMeasurementCheck->click();
    for (QWidget* w : std::initializer_list<QWidget*> { f.NumOfAutomeasurementLabel,
             f.NumOfAutomeasurementText, f.CounterOfMeasLabel, f.CounterOfMeasText })
        QVERIFY(!w->isVisible());
    QVERIFY(!f.SpectrumCheck->isEnabled() && !f.TimeDomainCheck->isEnabled());
    QVERIFY(rig.window.controller().inputs().periodical);
    f.PeriodicalMeasurementCheck->click();
    QVERIFY(f.NumOfAutomeasurementText->isVisible());
    QVERIFY(f.SpectrumCheck->isEnabled());

    f.TimeDomainCheck->click();
    QVERIFY(!f.PeriodicalMeasurementCheck->isEnabled());
    QVERIFY(!f.RAWStartBlockText->isVisible()); // "Graph " is not ticked
    f.PresentCheck->click();
    QVERIFY(f.RAWStartBlockText->isVisible() && f.RAWEndBlockText->isVisible());
    QVERIFY(!f.FFTStartBlockText->isVisible());
    QVERIFY(f.RawFftLine->isVisible());
    f.SpectrumCheck->click();
    QVERIFY(f.FFTStartBlockText->isVisible() && f.RAWStartBlockText->isVisible());
    f.TimeDomainCheck->click();
    f.SpectrumCheck->click();
    QVERIFY(!f.FFTStartBlockText->isVisible() && !f.RAWStartBlockText->isVisible());
    QVERIFY(f.PeriodicalMeasurementCheck->isEnabled());
    QVERIFY(!rig.window.controller().inputs().spectrum && !rig.window.controller().inputs().timeDomain);

    f.OpenMonitoringFileCheck->click();
    for (QWidget* w :
        std::initializer_list<QWidget*> { f.FileTypeCombo, f.FileNameText, f.FileTypeLabel, f.FileNameLabel })
        QVERIFY(!w->isVisible());
    QVERIFY(!rig.window.controller().inputs().saveToFile);
}

void TstFormRendo::startRunsTheWholeSequenceOnTheSimulatedLine()
{
    sim::ManualClock sensorClock(50000);
    sim::SimulatedLine line(sensorClock);
    QVERIFY(line.isValid());
    Rig<serial::QtByteLink> rig;
    const QString settings = QStringLiteral("115200,n,8,1");
    QVERIFY(rig.link.open(line.devicePath(), settings));
    rig.window.setLineSettings(settings);
    rig.window.setConnected(true);
    rig.window.controller().setReplyWindows({ 250, 1500, 5000 });
    rig.window.sequence().setPacing({ 0, 0 });
    QTemporaryDir dataFolder;
    rig.window.setMonitoringFolder(dataFolder.path() + "/Rendo Monitor/");
    rig.f.SpectrumCheck->click();
    rig.f.TimeDomainCheck->click();
    rig.f.PresentCheck->click();
    QSignalSpy ended(&rig.window.sequence(), &radar::MeasurementSequence::ended);

    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QCOMPARE(rig.f.StartOrStopMeasCommand->text(), QString("Stop"));
    QCOMPARE(rig.f.StatusText->text(), QString("Perform Measurments"));
    for (QPushButton* b : { rig.f.Standby, rig.f.Track, rig.f.Set_Parameters, rig.f.SendStatus,
             rig.f.MonitoringCommand, rig.f.MoreCommand })
        QVERIFY(!b->isEnabled());
    QVERIFY(ended.wait(kRunGuardMs));
    QCOMPARE(ended.last().at(0).toBool(), true);
    QCOMPARE(rig.f.StatusText->text(), QString("End Of Process"));
    QCOMPARE(rig.f.CounterOfMeasText->text(), QString("5"));
    QCOMPARE(rig.f.MoreIndexText->text(), QString("1"));
    QCOMPARE(rig.f.ReceiveBuffSize->text(), QString("15980"));
    QVERIFY(rig.f.TextTerminaTextBox->toPlainText().startsWith(" C3 "));
    // The dump of all 15980 bytes, 16 to a line.
    const QStringList dump = rig.f.TextTerminaTextBox->toPlainText().split('\n');
    QCOMPARE(dump.size(), 999);
    QCOMPARE(dump.first().size(), 64);
    QCOMPARE(dump.last().size(), 12 * 4);
    QCOMPARE(rig.f.TextTerminaTextBox->document()->defaultTextOption().alignment(), Qt::AlignLeft);
    QCOMPARE(rig.f.DistanceOrLevelText->text(), QString("N/A")); // the StandBy before the monitoring
    QVERIFY(rig.f.MoreCommand->isEnabled());
    QVERIFY(rig.f.Standby->isEnabled());
    QCOMPARE(rig.f.StartOrStopMeasCommand->text(), QString("Stop"));
    // The combined file in the data folder, and both results on one picture.
    QFile file(dataFolder.path() + "/Rendo Monitor/Data_date_001.txt");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), 4 + 2 * 5 + 4096 + 2 + 7243 + 2);
    QVERIFY(rig.prompter.messages.isEmpty());
    ui::Form_FFT_Or_RAW_Graph* graph = rig.window.graphWindow();
    QVERIFY(graph && graph->isVisible());
    QCOMPARE(graph->windowTitle(), QString("FFT Function"));
    QCOMPARE(graph->findChild<QLabel*>("FFT_Raw_Label")->text(), QString("FFT and RAW Graph"));

    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QCOMPARE(rig.f.StartOrStopMeasCommand->text(), QString("Start"));
    QCOMPARE(rig.f.StatusText->text(), QString("Wait for Start"));
    QVERIFY(!rig.f.MoreCommand->isEnabled());
}

void TstFormRendo::exitHandsBack()
{
    Rig<test::FakeByteLink> rig;
    rig.link.opened = true;
    rig.window.setConnected(true);
    rig.link.failOpen = false;
    QSignalSpy exited(&rig.window, &ui::FormRendo::exited);
    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(rig.timerRx.isActive(), kSettleGuardMs); // the StandBy is out
    QTest::mouseClick(rig.f.ExitCommand, Qt::LeftButton);
    QCOMPARE(exited.size(), 1);
    QVERIFY(!rig.timerRx.isActive());
    QVERIFY(!rig.window.isVisible());
    QVERIFY(!rig.window.sequence().running());
}

void TstFormRendo::seriesKeepsTheSensorsPace()
{
    sim::ManualClock sensorClock(50000);
    sim::SimulatedLine line(sensorClock);
    QVERIFY(line.isValid());
    Rig<serial::QtByteLink> rig;
    const QString settings = QStringLiteral("115200,n,8,1");
    QVERIFY(rig.link.open(line.devicePath(), settings));
    rig.window.setLineSettings(settings);
    rig.window.setConnected(true);
    rig.f.PeriodicalMeasurementCheck->click();
    QElapsedTimer clock;
    QList<qint64> sent; // ms since Start, per command
    QList<radar::RadarCommand> commands;
    int distances = 0;
    connect(&rig.window.controller(), &radar::RadarController::commandSent, this, [&](radar::RadarCommand c) {
        sent << clock.elapsed();
        commands << c;
    });
    connect(&rig.window.controller(), &radar::RadarController::replyJudged, this,
        [&](const radar::JudgedReply& r) {
            distances += r.accepted && r.command == radar::RadarCommand::SendStatus;
        });
    clock.start();
    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(distances >= 3, kRunGuardMs);
    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QCOMPARE(commands.first(6),
        (QList<radar::RadarCommand> { radar::RadarCommand::StandBy, radar::RadarCommand::SetParameters,
            radar::RadarCommand::Track, radar::RadarCommand::SendStatus, radar::RadarCommand::SendStatus,
            radar::RadarCommand::SendStatus }));
    // Each command a second after the run turned to it; a distance is followed by two seconds more.
    QVERIFY2(sent[0] >= 1000, qPrintable(QString::number(sent[0])));
    for (int i = 1; i < 4; ++i)
        QVERIFY2(sent[i] - sent[i - 1] >= 1000, qPrintable(QString::number(sent[i] - sent[i - 1])));
    for (int i = 4; i < 6; ++i)
        QVERIFY2(sent[i] - sent[i - 1] >= 3000, qPrintable(QString::number(sent[i] - sent[i - 1])));
}

void TstFormRendo::commandsCarryWhatWasJustTyped()
{
    Rig<test::FakeByteLink> rig;
    rig.link.opened = true;
    rig.window.setConnected(true);
    // Clicked within the second the check waits for more typing: the command sends what is shown.
    rig.type(rig.f.CentralFrequencyText, "10100");
    QTest::mouseClick(rig.f.Set_Parameters, Qt::LeftButton);
    QCOMPARE(rig.link.written.last().mid(4, 2).toHex(' '), QByteArray("74 27"));
    rig.type(rig.f.TankHeightTextBox, "2500");
    rig.type(rig.f.BandTextBox, "2000");
    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QCOMPARE(rig.window.controller().inputs().parameters.tankHeightMm, 2500);
    // A wrong value is said at once and the default goes instead.
    QCOMPARE(rig.prompter.messages.size(), 1);
    QVERIFY(rig.prompter.lastText().startsWith("Wrong value. Enter a valid band value"));
    QCOMPARE(rig.f.BandTextBox->text(), QString("1100"));
    QCOMPARE(rig.window.controller().inputs().parameters.bandMHz, 1100);
}

void TstFormRendo::controlsKeepTheirPlace_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::newRow("Graph") << QStringList { "PresentCheck" };
    QTest::newRow("Graph and Time Domain") << QStringList { "PresentCheck", "TimeDomainCheck" };
    QTest::newRow("Graph and Spectrum") << QStringList { "PresentCheck", "SpectrumCheck" };
    QTest::newRow("Graph and both kinds")
        << QStringList { "PresentCheck", "SpectrumCheck", "TimeDomainCheck" };
    QTest::newRow("Periodical") << QStringList { "PeriodicalMeasurementCheck" };
    QTest::newRow("no file") << QStringList { "OpenMonitoringFileCheck" };
}

void TstFormRendo::controlsKeepTheirPlace()
{
    QFETCH(QStringList, ticked);
    Rig<test::FakeByteLink> rig;
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    const auto places = [&rig] {
        rig.window.layout()->activate();
        QList<QRect> out;
        for (QWidget* w : std::initializer_list<QWidget*> { rig.f.StartOrStopMeasCommand, rig.f.MoreCommand,
                 rig.f.ExitCommand, rig.f.StatusText, rig.f.FftOrRawCombo, rig.f.TrafficMonitorCommand })
            out << QRect(w->mapTo(&rig.window, QPoint()), w->size());
        return out;
    };
    const QList<QRect> before = places();
    for (const QString& name : ticked)
        rig.control<QCheckBox>(qPrintable(name))->click();
    QCOMPARE(places(), before);
    for (const QString& name : ticked)
        rig.control<QCheckBox>(qPrintable(name))->click();
    QCOMPARE(places(), before);
}

void TstFormRendo::fileFailureEndsTheRun()
{
    sim::ManualClock sensorClock(50000);
    sim::SimulatedLine line(sensorClock);
    QVERIFY(line.isValid());
    Rig<serial::QtByteLink> rig;
    const QString settings = QStringLiteral("115200,n,8,1");
    QVERIFY(rig.link.open(line.devicePath(), settings));
    rig.window.setLineSettings(settings);
    rig.window.setConnected(true);
    rig.window.controller().setReplyWindows({ 250, 1500, 5000 });
    rig.window.sequence().setPacing({ 0, 0 });
    QTemporaryDir dataFolder;
    rig.window.setMonitoringFolder(dataFolder.path() + "/");
    // The folder itself in the file's place.
    QVERIFY(QDir(dataFolder.path()).mkdir("Data_date_001.txt"));
    rig.window.controller().inputs().numOfAutomeasurement = 1;
    rig.f.SpectrumCheck->click();
    QSignalSpy ended(&rig.window.sequence(), &radar::MeasurementSequence::ended);
    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QVERIFY(ended.wait(kRunGuardMs));
    QCOMPARE(rig.prompter.messages.size(), 1);
    QVERIFY(rig.prompter.lastText().startsWith("One of following errors occurred:"));
    QCOMPARE(rig.f.StatusText->text(), QString("Wait for Start"));
    QCOMPARE(rig.f.StartOrStopMeasCommand->text(), QString("Start"));
    QVERIFY(!rig.f.MoreCommand->isEnabled());
    QVERIFY(rig.f.StartOrStopMeasCommand->isEnabled() && rig.f.MonitoringCommand->isEnabled());
    QVERIFY(!rig.window.sequence().running());
    QVERIFY(!rig.timerRx.isActive());
}

void TstFormRendo::filePathIsShown()
{
    sim::ManualClock sensorClock(50000);
    sim::SimulatedLine line(sensorClock);
    QVERIFY(line.isValid());
    Rig<serial::QtByteLink> rig;
    const QString settings = QStringLiteral("115200,n,8,1");
    QVERIFY(rig.link.open(line.devicePath(), settings));
    rig.window.setLineSettings(settings);
    rig.window.setConnected(true);
    rig.window.sequence().setPacing({ 0, 0 });
    QTemporaryDir home;
    const QString folder = home.path() + "/Rendo Monitor/";
    rig.window.setMonitoringFolder(folder);
    QCOMPARE(rig.f.FileNameText->toolTip(), home.path() + "/Rendo Monitor/Data_date_001.txt");
    rig.type(rig.f.FileNameText, "tank4.txt");
    const QString path = home.path() + "/Rendo Monitor/tank4.txt";
    QCOMPARE(rig.f.FileNameText->toolTip(), path);

    // Start replaces a file that was there, and says so; More appends without a word.
    QVERIFY(QDir().mkpath(folder));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an earlier run\r\n") > 0);
    old.close();
    rig.window.controller().inputs().numOfAutomeasurement = 1;
    QSignalSpy ended(&rig.window.sequence(), &radar::MeasurementSequence::ended);
    QTest::mouseClick(rig.f.StartOrStopMeasCommand, Qt::LeftButton);
    QVERIFY(ended.wait(kRunGuardMs));
    QCOMPARE(ended.last().at(0).toBool(), true);
    QVERIFY2(rig.f.TextTerminaTextBox->toPlainText().endsWith("\nReplaced the existing file " + path),
        qPrintable(rig.f.TextTerminaTextBox->toPlainText()));
    QTest::mouseClick(rig.f.MoreCommand, Qt::LeftButton);
    QVERIFY(ended.wait(kRunGuardMs));
    QVERIFY(!rig.f.TextTerminaTextBox->toPlainText().contains("Replaced"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(!text.contains("an earlier run"));
    QCOMPARE(text.count("1000000\r\n"), 1);
    QCOMPARE(text.count("1000001\r\n"), 1);
}

QTEST_MAIN(TstFormRendo)
#include "tst_form_rendo.moc"
