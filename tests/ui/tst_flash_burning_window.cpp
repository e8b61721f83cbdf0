#include "flash/flash_burner.h"
#include "sim/intel_hex.h"
#include "support/fake_prompter.h"
#include "support/simulator_link.h"
#include "support/stand_in_converter.h"
#include "ui/flash_burning_window.h"
#include "ui_flash_burning_window.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace velto;

namespace {
constexpr int kWaitMs = 60000;

flash::FlashTimings quickTimings()
{
    flash::FlashTimings t;
    t.commandPauseMs = 0;
    t.slowWritePauseMs = 0;
    t.finishPauseMs = 0;
    t.retryQuietMs = 0;
    return t;
}
} // namespace

class TestFlashBurningWindow : public QObject {
    Q_OBJECT

    struct Fixture {
        explicit Fixture(bool connected = true, const flash::FlashTimings& timings = quickTimings())
            : converter(test::writeStandInConverter(dir.path()))
            , window(link, prompter, connected, converter, timings)
        {
            window.show();
        }
        QTemporaryDir dir;
        test::SimulatorLink link;
        test::FakePrompter prompter;
        QString converter;
        ui::FlashBurningWindow window;

        Ui::FormFlashburning& f() { return window.form(); }
        sim::BootloaderResponder& device() { return link.simulator.bootloader(); }
        QString writeFile(int lines, const QString& name = QStringLiteral("firmware.hex"))
        {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return {};
            file.write(sim::sampleHexFile(lines));
            return file.fileName();
        }
        void browse(const QString& path)
        {
            prompter.fileAnswers.enqueue(path);
            QTest::mouseClick(f().BrowseCommand, Qt::LeftButton);
        }
        bool burn()
        {
            QSignalSpy finished(&window.burner(), &flash::FlashBurner::finished);
            QTest::mouseClick(f().SendHEXFileCommand, Qt::LeftButton);
            return finished.wait(kWaitMs) && finished.first().first().value<flash::FlashResult>().accepted;
        }
        bool flashButtonsEnabled()
        {
            return f().FlashEraseCommand->isEnabled() && f().FlashTestCommand->isEnabled();
        }
        QStringList transcript()
        {
            window.flushTranscript();
            return f().DebugText->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
    };

private slots:
    void startState_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::newRow("connected") << true;
        QTest::newRow("not connected") << false;
    }
    void startState()
    {
        QFETCH(bool, connected);
        Fixture fx(connected);
        QCOMPARE(fx.window.objectName(), QStringLiteral("FormFlashburning"));
        QCOMPARE(fx.window.windowTitle(), QStringLiteral("RendoScan Flash burning"));
        QCOMPARE(fx.f().FlashBurningStatusText->text(), QStringLiteral("Wait for Sending HEX File"));
        QVERIFY(fx.f().HEXFileNameText->text().isEmpty());
        QVERIFY(!fx.f().SendHexFileProgressBar->isVisible());
        QVERIFY(fx.flashButtonsEnabled());
        // No file yet: nothing to burn, whatever the other buttons do.
        QVERIFY(!fx.f().SendHEXFileCommand->isEnabled());
        QCOMPARE(fx.f().BrowseCommand->isEnabled(), connected);
        QVERIFY(!fx.window.hexOrderPending());
    }

    void browsingChoosesTheFile()
    {
        Fixture fx;
        QTest::mouseClick(fx.f().BrowseCommand, Qt::LeftButton); // cancelled
        QCOMPARE(fx.prompter.fileDialogFilters, QStringList { "HEX Files (*.hex)" });
        QVERIFY(!fx.f().SendHEXFileCommand->isEnabled());
        QVERIFY(!fx.window.hexOrderPending());

        const QString path = fx.writeFile(3);
        fx.browse(path);
        QCOMPARE(fx.f().HEXFileNameText->text(), path);
        QVERIFY(fx.f().SendHEXFileCommand->isEnabled());
        QVERIFY(fx.window.hexOrderPending());
    }

    void burnsAndRunsTheConverterOncePerFileChoice()
    {
        Fixture fx;
        const QString path = fx.writeFile(30);
        fx.browse(path);
        QVERIFY(fx.burn());
        QCOMPARE(fx.f().FlashBurningStatusText->text(), QStringLiteral("Flash Burning Succeeded"));
        QCOMPARE(fx.device().records().size(), 30);
        QStringList transcript = fx.transcript();
        QCOMPARE(transcript.size(), 2 + 2 * 30);
        QCOMPARE(transcript.mid(0, 2), (QStringList { ">B0", "<B7" }));
        QCOMPARE(transcript.last(), QStringLiteral(":A5"));
        QCOMPARE(test::standInConverterRuns(fx.dir.path()), QStringList { path });
        QVERIFY(!fx.f().SendHexFileProgressBar->isVisible());
        QCOMPARE(fx.f().SendHexFileProgressBar->maximum(), 30);

        // A second burn of the same file skips the converter; choosing it again does not.
        QVERIFY(fx.burn());
        QCOMPARE(test::standInConverterRuns(fx.dir.path()).size(), 1);
        QCOMPARE(fx.transcript().size(), 2 + 2 * 30); // cleared at each start
        fx.browse(path);
        QVERIFY(fx.burn());
        QCOMPARE(test::standInConverterRuns(fx.dir.path()).size(), 2);
    }

    void everythingIsDisabledWhileBurning()
    {
        Fixture fx;
        fx.browse(fx.writeFile(20));
        fx.f().EraseCheckBox->setChecked(true);
        QSignalSpy finished(&fx.window.burner(), &flash::FlashBurner::finished);
        bool checked = false;
        connect(&fx.window.burner(), &flash::FlashBurner::progressChanged, this, [&fx, &checked](int line) {
            if (line != 5)
                return;
            Ui::FormFlashburning& f = fx.f();
            checked = !f.BrowseCommand->isEnabled() && !f.EraseCheckBox->isEnabled()
                && !f.SendHEXFileCommand->isEnabled() && !f.FlashEraseCommand->isEnabled()
                && !f.FlashTestCommand->isEnabled() && f.SendHexFileProgressBar->isVisible();
        });
        QTest::mouseClick(fx.f().SendHEXFileCommand, Qt::LeftButton);
        QVERIFY(finished.wait(kWaitMs));
        QVERIFY(checked);
        QCOMPARE(fx.link.written.first(), QByteArray(">B4"));
        for (QWidget* w : std::initializer_list<QWidget*> { fx.f().BrowseCommand, fx.f().EraseCheckBox,
                 fx.f().SendHEXFileCommand, fx.f().FlashEraseCommand, fx.f().FlashTestCommand })
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }

    void fourFailuresGiveTheButtonsBack()
    {
        Fixture fx;
        fx.browse(fx.writeFile(5));
        fx.device().forcedLineCodes = { 0xA3, 0xA0, 0xA1, 0xA2, 0xA6 };
        QVERIFY(!fx.burn());
        // Which line failed, and what the device said to it the last time.
        QCOMPARE(fx.f().FlashBurningStatusText->text(),
            QStringLiteral("Error - Retry Four Times: line 2 of 5, answer :A6 (End of Program)"));
        QCOMPARE(fx.transcript().mid(4),
            (QStringList { fx.transcript().at(4), ":A0", fx.transcript().at(4), ":A1", fx.transcript().at(4),
                ":A2", fx.transcript().at(4), ":A6" }));
        QVERIFY(fx.flashButtonsEnabled());
        QVERIFY(fx.f().SendHEXFileCommand->isEnabled());
        QVERIFY(fx.f().BrowseCommand->isEnabled());
        QVERIFY(!fx.f().SendHexFileProgressBar->isVisible());
    }

    void eraseAndTestAskFirst_data()
    {
        QTest::addColumn<bool>("erase");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("status");
        QTest::newRow("erase, no") << true << false << "Wait for Sending HEX File";
        QTest::newRow("erase, yes") << true << true << "Flash Erase Succeeded";
        QTest::newRow("test, no") << false << false << "Wait for Sending HEX File";
        QTest::newRow("test, yes") << false << true << "Flash Test Succeeded";
    }
    void eraseAndTestAskFirst()
    {
        QFETCH(bool, erase);
        QFETCH(bool, yes);
        QFETCH(QString, status);
        Fixture fx;
        fx.prompter.yesNoAnswers.enqueue(yes);
        QSignalSpy finished(&fx.window.burner(), &flash::FlashBurner::finished);
        QTest::mouseClick(erase ? fx.f().FlashEraseCommand : fx.f().FlashTestCommand, Qt::LeftButton);
        QCOMPARE(fx.prompter.messages.size(), 1);
        QCOMPARE(fx.prompter.messages[0].text, QStringLiteral("Do you want to delete Flash memory ?"));
        QCOMPARE(fx.prompter.messages[0].title, QStringLiteral("MsgBox Delete Flash"));
        QCOMPARE(fx.prompter.messages[0].icon, Prompter::Icon::Critical);
        if (yes) {
            QCOMPARE(fx.f().FlashBurningStatusText->text(),
                erase ? QStringLiteral("Flash Erase in Progress...")
                      : QStringLiteral("Flash Test in Progress..."));
            QVERIFY(!fx.flashButtonsEnabled());
            QVERIFY(finished.wait(kWaitMs));
            QCOMPARE(fx.transcript(), (QStringList { erase ? ">B4" : ">B1", erase ? "<B5" : "<B2" }));
        } else {
            QVERIFY(fx.link.written.isEmpty());
        }
        QCOMPARE(fx.f().FlashBurningStatusText->text(), status);
        QVERIFY(fx.flashButtonsEnabled());
    }

    void theWindowStepsAsideWhileTheConverterRuns()
    {
        Fixture fx;
        const QString go = fx.dir.filePath("go");
        // The stand-in waits for the test to let it finish.
        test::writeStandInConverter(
            fx.dir.path(), QStringLiteral("while [ ! -e '%1' ]; do sleep 0.01; done").arg(go));
        fx.browse(fx.writeFile(3));
        QSignalSpy finished(&fx.window.burner(), &flash::FlashBurner::finished);
        QTest::mouseClick(fx.f().SendHEXFileCommand, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!fx.window.isVisible(), kWaitMs);
        QVERIFY(fx.link.written.isEmpty());
        QFile(go).open(QIODevice::WriteOnly);
        QVERIFY(finished.wait(kWaitMs));
        QVERIFY(fx.window.isVisible());
        QCOMPARE(fx.device().records().size(), 3);
    }

    void aMissingConverterIsShownAndAskedAbout_data()
    {
        QTest::addColumn<bool>("burnAsItIs");
        QTest::newRow("the user declines") << false;
        QTest::newRow("the user burns the file as it is") << true;
    }
    void aMissingConverterIsShownAndAskedAbout()
    {
        QFETCH(bool, burnAsItIs);
        QTemporaryDir elsewhere;
        test::SimulatorLink link;
        test::FakePrompter prompter;
        const QString missing = elsewhere.filePath("HexOrder");
        ui::FlashBurningWindow window(link, prompter, true, missing, quickTimings());
        window.show();
        QFile file(elsewhere.filePath("f.hex"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sim::sampleHexFile(4));
        file.close();
        QVERIFY(!window.form().HexOrderMissingLabel->isVisible());
        prompter.fileAnswers.enqueue(file.fileName());
        window.BrowseCommand_Click();
        // Said when the file is chosen, not in the middle of a burn.
        QVERIFY(window.form().HexOrderMissingLabel->isVisible());
        QVERIFY(window.form().HexOrderMissingLabel->toolTip().startsWith(missing));
        QVERIFY(prompter.messages.isEmpty());

        prompter.yesNoAnswers.enqueue(burnAsItIs);
        QSignalSpy finished(&window.burner(), &flash::FlashBurner::finished);
        QTest::mouseClick(window.form().SendHEXFileCommand, Qt::LeftButton);
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].title, QStringLiteral("Error"));
        QCOMPARE(prompter.messages[0].icon, Prompter::Icon::Warning);
        QVERIFY2(prompter.messages[0].text.startsWith("Error starting task " + missing + "\n"),
            qPrintable(prompter.messages[0].text));
        QVERIFY(prompter.messages[0].text.endsWith("as it is, without the HEX converter?"));
        if (!burnAsItIs) {
            QVERIFY(!window.burner().isBusy());
            QVERIFY(link.written.isEmpty());
            QCOMPARE(
                window.form().FlashBurningStatusText->text(), QStringLiteral("Wait for Sending HEX File"));
            QVERIFY(window.form().SendHEXFileCommand->isEnabled());
            return;
        }
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(window.form().FlashBurningStatusText->text(), QStringLiteral("Flash Burning Succeeded"));
        QCOMPARE(link.simulator.bootloader().records().size(), 4);
        // Asked once, and no second box from the converter that was never started.
        QCOMPARE(prompter.messages.size(), 1);
        // Still unconverted: the next burn asks again.
        QVERIFY(window.hexOrderPending());
        QVERIFY(window.form().HexOrderMissingLabel->isVisible());
    }

    void closingMidBurnAsksFirst_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::addColumn<bool>("abort");
        QTest::newRow("close, abort") << false << true;
        QTest::newRow("close, go on") << false << false;
        QTest::newRow("Escape, abort") << true << true;
        QTest::newRow("Escape, go on") << true << false;
    }
    void closingMidBurnAsksFirst()
    {
        QFETCH(bool, escape);
        QFETCH(bool, abort);
        Fixture fx;
        fx.browse(fx.writeFile(200));
        fx.prompter.yesNoAnswers.enqueue(abort);
        QSignalSpy unloaded(&fx.window, &ui::FlashBurningWindow::unloaded);
        QSignalSpy finished(&fx.window.burner(), &flash::FlashBurner::finished);
        connect(
            &fx.window.burner(), &flash::FlashBurner::progressChanged, &fx.window, [&fx, escape](int line) {
                if (line != 20)
                    return;
                if (escape)
                    QTest::keyClick(&fx.window, Qt::Key_Escape);
                else
                    fx.window.close();
            });
        QTest::mouseClick(fx.f().SendHEXFileCommand, Qt::LeftButton);
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(fx.prompter.messages.size(), abort ? 2 : 1);
        QCOMPARE(fx.prompter.messages[0].title, QStringLiteral("Abort Flash Burning"));
        QCOMPARE(fx.prompter.messages[0].text,
            QStringLiteral(
                "Flash burning is at line 20 of 200.\nAbort it? The sensor's flash will be incomplete."));
        if (!abort) {
            QCOMPARE(unloaded.size(), 0);
            QVERIFY(fx.window.isVisible());
            QCOMPARE(fx.f().FlashBurningStatusText->text(), QStringLiteral("Flash Burning Succeeded"));
            QCOMPARE(fx.device().records().size(), 200);
            return;
        }
        QCOMPARE(unloaded.size(), 1);
        QVERIFY(!fx.window.burner().isBusy());
        const QString aborted = QStringLiteral(
            "Flash burning was aborted after 19 of 200 lines: the sensor's flash is incomplete.");
        // Said once the window has gone, and written where the burn was followed.
        QCOMPARE(fx.prompter.messages[1].text, aborted);
        QCOMPARE(fx.prompter.messages[1].title, QStringLiteral("Flash Burning Aborted"));
        QCOMPARE(fx.transcript().last(), aborted);
        QCOMPARE(fx.f().FlashBurningStatusText->text(),
            QStringLiteral("Flash Burning Aborted - Flash Incomplete"));
        const qsizetype sent = fx.link.written.size();
        fx.link.inject(":\xA3"); // a stray answer starts nothing
        QTRY_VERIFY(fx.link.bytesAvailable() > 0);
        QCOMPARE(fx.link.written.size(), sent);
        QVERIFY(fx.device().records().size() < 200);
    }

    void escapeClosesAnIdleWindowAtOnce()
    {
        Fixture fx;
        QSignalSpy unloaded(&fx.window, &ui::FlashBurningWindow::unloaded);
        QTest::keyClick(&fx.window, Qt::Key_Escape);
        QCOMPARE(unloaded.size(), 1);
        QVERIFY(fx.prompter.messages.isEmpty());
    }

    void stopEndsARunningBurn()
    {
        Fixture fx;
        fx.browse(fx.writeFile(200));
        QVERIFY(!fx.f().StopCommand->isEnabled());
        QSignalSpy finished(&fx.window.burner(), &flash::FlashBurner::finished);
        bool stopReady = false;
        connect(&fx.window.burner(), &flash::FlashBurner::progressChanged, &fx.window,
            [&fx, &stopReady](int line) {
                if (line != 30)
                    return;
                stopReady = fx.f().StopCommand->isEnabled();
                QTest::mouseClick(fx.f().StopCommand, Qt::LeftButton);
            });
        QTest::mouseClick(fx.f().SendHEXFileCommand, Qt::LeftButton);
        QVERIFY(finished.wait(kWaitMs));
        QVERIFY(stopReady);
        QVERIFY(finished.first().first().value<flash::FlashResult>().stopped);
        QCOMPARE(fx.f().FlashBurningStatusText->text(),
            QStringLiteral("Flash Burning Aborted - Flash Incomplete"));
        QCOMPARE(fx.transcript().last(),
            QStringLiteral(
                "Flash burning was aborted after 29 of 200 lines: the sensor's flash is incomplete."));
        QVERIFY(!fx.f().StopCommand->isEnabled());
        QVERIFY(fx.flashButtonsEnabled());
        QVERIFY(fx.f().SendHEXFileCommand->isEnabled());
        QVERIFY(fx.prompter.messages.isEmpty());
    }

    void eraseAndTestNeedAnOpenPort()
    {
        test::SimulatorLink link;
        link.close();
        test::FakePrompter prompter;
        ui::FlashBurningWindow window(link, prompter, true, QString(), quickTimings());
        window.show();
        QVERIFY(!window.form().FlashEraseCommand->isEnabled());
        QVERIFY(!window.form().FlashTestCommand->isEnabled());
        window.FlashEraseCommand_Click();
        window.FlashTestCommand_Click();
        QVERIFY(prompter.messages.isEmpty());
        QVERIFY(link.written.isEmpty());
        // Opened while the window was away: they work again when it comes back.
        link.open(QString(), QString());
        window.hide();
        window.show();
        QVERIFY(window.form().FlashEraseCommand->isEnabled());
        QVERIFY(window.form().FlashTestCommand->isEnabled());
    }
};

QTEST_MAIN(TestFlashBurningWindow)
#include "tst_flash_burning_window.moc"
