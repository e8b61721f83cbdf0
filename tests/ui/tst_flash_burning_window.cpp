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
        QCOMPARE(fx.f().FlashBurningStatusText->text(), QStringLiteral("Error - Retry Four Times"));
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

    void aMissingConverterIsReportedAndTheBurnGoesOn()
    {
        QTemporaryDir elsewhere;
        test::SimulatorLink link;
        test::FakePrompter prompter;
        const QString missing = elsewhere.filePath("HexOrder");
        ui::FlashBurningWindow window(link, prompter, true, missing, quickTimings());
        QFile file(elsewhere.filePath("f.hex"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sim::sampleHexFile(4));
        file.close();
        prompter.fileAnswers.enqueue(file.fileName());
        window.BrowseCommand_Click();
        QSignalSpy finished(&window.burner(), &flash::FlashBurner::finished);
        window.SendHEXFileCommand_Click();
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].title, QStringLiteral("Error"));
        QCOMPARE(prompter.messages[0].icon, Prompter::Icon::Warning);
        QVERIFY(prompter.messages[0].text.startsWith("Error starting task " + missing + "\n"));
        QCOMPARE(window.form().FlashBurningStatusText->text(), QStringLiteral("Flash Burning Succeeded"));
    }

    void closingMidBurnStopsIt()
    {
        Fixture fx;
        fx.browse(fx.writeFile(200));
        QSignalSpy unloaded(&fx.window, &ui::FlashBurningWindow::unloaded);
        connect(&fx.window.burner(), &flash::FlashBurner::progressChanged, &fx.window, [&fx](int line) {
            if (line == 20)
                fx.window.close();
        });
        QTest::mouseClick(fx.f().SendHEXFileCommand, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(unloaded.size(), 1, kWaitMs);
        QVERIFY(!fx.window.burner().isBusy());
        const qsizetype sent = fx.link.written.size();
        fx.link.inject(":\xA3"); // a stray answer starts nothing
        QTRY_VERIFY(fx.link.bytesAvailable() > 0);
        QCOMPARE(fx.link.written.size(), sent);
        QVERIFY(fx.device().records().size() < 200);
    }
};

QTEST_MAIN(TestFlashBurningWindow)
#include "tst_flash_burning_window.moc"
