#include "debuglog/parsing_run.h"
#include "support/fake_prompter.h"
#include "support/offscreen_screen.h"
#include "ui/parsing_window.h"
#include "ui/screen_fit.h"
#include "ui_parsing_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using debuglog::ParsingOutcome;

namespace {

constexpr int kAgainstHangsMs = 120000;

const QByteArray kRecordPair
    = "D 1523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 "
      "M 1 C 1 S 0\t   12.50\r\n"
      "R_SEARCH : Occur jump\t   12.60\r\n"
      "D 1524 RD 1531 RD2 1529 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 "
      "M 1 C 0 S 0\t   12.75\r\n";

struct Rig {
    QTemporaryDir dir;
    QString folder = dir.filePath("Rendo Monitor");
    QWidget main;
    test::FakePrompter prompter;
    ui::ParsingWindow window { main, prompter,
        [this] { return QDir().mkpath(folder) ? folder : QString(); } };
    Ui::FormTaliq485Parsing& f = window.form();
    QSignalSpy finished { &window.run(), &debuglog::ParsingRun::finished };

    Rig() { window.show(); }
    QString writeLog(const QByteArray& bytes)
    {
        const QString path = dir.filePath("capture.txt");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }
    void browse(const QString& path)
    {
        prompter.fileAnswers.enqueue(path);
        QTest::mouseClick(f.BrowseCommand, Qt::LeftButton);
    }
    bool runToEnd()
    {
        QTest::mouseClick(f.SaveParameters, Qt::LeftButton);
        return finished.wait(kAgainstHangsMs);
    }
    QStringList workbooks() const
    {
        return QDir(folder).entryList({ "*.xlsx", ".*.xlsx" }, QDir::Files | QDir::Hidden, QDir::Name);
    }
    bool idle() const
    {
        return f.BrowseCommand->isEnabled() && f.SaveParameters->isEnabled()
            && f.SaveToExcelProgressBar->isHidden() && f.SaveToExcelProgressBar->value() == 1;
    }
};

} // namespace

class TstParsingWindow : public QObject {
    Q_OBJECT
private slots:
    void controlsAndCaptions();
    void browseChoosesTheLog();
    void startWritesBothWorkbooksWhileTheBarMoves();
    void failuresNameTheirStage_data();
    void failuresNameTheirStage();
    void closingDuringARunCancelsIt();
};

void TstParsingWindow::controlsAndCaptions()
{
    Rig rig;
    QCOMPARE(rig.window.objectName(), QString("FormTaliq485Parsing"));
    QCOMPARE(rig.window.windowTitle(), QString("Taliq485 Parsing"));
    QCOMPARE(rig.f.Frame1->title(), QString("Load TXT File"));
    QCOMPARE(rig.f.Frame2->title(), QString("Save to Excel File"));
    QCOMPARE(rig.f.BrowseCommand->text(), QString("Browse..."));
    QCOMPARE(rig.f.SaveParameters->text(), QString("Start"));
    QVERIFY(rig.window.findChild<QLineEdit*>("TxtFileNameText"));
    QVERIFY(!rig.f.SaveParameters->isEnabled());
    QVERIFY(rig.f.SaveToExcelProgressBar->isHidden());
    QVERIFY(ui::availableArea(&rig.window).contains(rig.window.frameGeometry()));
}

void TstParsingWindow::browseChoosesTheLog()
{
    Rig rig;
    rig.browse("/logs/capture.txt");
    // The description's filter first; a capture saved under another name can still be chosen.
    QCOMPARE(rig.prompter.fileDialogFilters, QStringList("HEX Files (*.txt);;All Files (*)"));
    QCOMPARE(rig.prompter.fileDialogSelectedFilters, QStringList("HEX Files (*.txt)"));
    QCOMPARE(rig.f.TxtFileNameText->text(), QString("/logs/capture.txt"));
    QVERIFY(rig.f.SaveParameters->isEnabled());
    // Cancelling the dialog keeps the log chosen before.
    rig.browse(QString());
    QCOMPARE(rig.f.TxtFileNameText->text(), QString("/logs/capture.txt"));
    QVERIFY(rig.f.SaveParameters->isEnabled());
}

void TstParsingWindow::startWritesBothWorkbooksWhileTheBarMoves()
{
    Rig rig;
    const int lines = 6 * int(debuglog::ParsingJob::kProgressEveryLines);
    rig.browse(rig.writeLog(kRecordPair.repeated(lines / 3)));
    // What the bar shows at each report, seen after the window has handled it.
    QList<QPair<int, int>> bar;
    // Nothing moves when the bar shows up.
    const QRect startAt = rig.f.SaveParameters->geometry();
    QList<QRect> startDuringRun;
    connect(&rig.window.run(), &debuglog::ParsingRun::progressed, &rig.window, [&] {
        bar.append({ rig.f.SaveToExcelProgressBar->value(), rig.f.SaveToExcelProgressBar->maximum() });
        startDuringRun.append(rig.f.SaveParameters->geometry());
    });

    QTest::mouseClick(rig.f.SaveParameters, Qt::LeftButton);
    QVERIFY(!rig.f.BrowseCommand->isEnabled());
    QVERIFY(!rig.f.SaveParameters->isEnabled());
    QVERIFY(rig.f.SaveToExcelProgressBar->isVisible());
    QVERIFY(rig.finished.wait(kAgainstHangsMs));

    const auto outcome = rig.finished.first().first().value<ParsingOutcome>();
    QVERIFY2(outcome.saved(), qPrintable(outcome.detail));
    QCOMPARE(outcome.allRows, lines / 3 * 2);
    QCOMPARE(outcome.currentRows, lines / 3);
    QCOMPARE(rig.workbooks(), QStringList({ "Taliq4_20Debug.xlsx", "TaliqAllDebug.xlsx" }));
    // Says what went where.
    QCOMPARE(rig.prompter.texts(),
        QStringList(
            QStringLiteral("%1 rows saved to TaliqAllDebug.xlsx and %2 rows to Taliq4_20Debug.xlsx in %3.")
                .arg(lines / 3 * 2)
                .arg(lines / 3)
                .arg(QDir::toNativeSeparators(rig.folder))));
    QCOMPARE(rig.prompter.messages.first().icon, Prompter::Icon::Information);
    QVERIFY(rig.idle());
    QVERIFY(bar.size() >= 3);
    QCOMPARE(bar.first(), qMakePair(1, lines));
    QCOMPARE(bar.last(), qMakePair(lines, lines));
    for (int i = 1; i < bar.size(); ++i)
        QVERIFY(bar[i].first > bar[i - 1].first);
    QCOMPARE(startDuringRun.first(), startAt);
    QCOMPARE(rig.f.SaveParameters->geometry(), startAt);
}

void TstParsingWindow::failuresNameTheirStage_data()
{
    QTest::addColumn<QByteArray>("log"); // null: the file is gone by the time Start is pressed
    QTest::addColumn<bool>("folderAvailable");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << QByteArray("") << true << "TXT File is Empty";
    QTest::newRow("gone") << QByteArray() << true << "Problen to Open TXT File";
    QTest::newRow("no folder") << kRecordPair << false << "Problen with Excel File";
    QTest::newRow("bad line") << kRecordPair + "D 1 RD x R\r\n"
                              << true << "Incorrect TXT File Format in line 4 (RD: not a number)";
    QTest::newRow("a HEX file chosen by mistake") << QByteArray(":020000040000FA\r\n:00000001FF\r\n") << true
                                                  << "TXT File Holds No Records: the Workbooks Were Kept";
    QTest::newRow("a record cut short and nothing else")
        << QByteArray("D 1523 RD 1530 RD2") << true
        << "TXT File Holds No Records: the Workbooks Were Kept\nThe last line (line 1) has no line end, as "
           "when a capture is cut short: it was left out.";
}

void TstParsingWindow::failuresNameTheirStage()
{
    QFETCH(QByteArray, log);
    QFETCH(bool, folderAvailable);
    QFETCH(QString, message);
    Rig rig;
    if (!folderAvailable)
        rig.folder = rig.dir.filePath("capture.txt/cannot be under a file");
    // The workbooks of an earlier run are kept as they were.
    const QStringList earlier
        = folderAvailable ? QStringList { "Taliq4_20Debug.xlsx", "TaliqAllDebug.xlsx" } : QStringList();
    QVERIFY(!folderAvailable || QDir().mkpath(rig.folder));
    for (const QString& name : earlier) {
        QFile workbook(QDir(rig.folder).filePath(name));
        QVERIFY(workbook.open(QIODevice::WriteOnly));
        workbook.write("earlier");
    }
    rig.browse(log.isNull() ? rig.dir.filePath("gone.txt") : rig.writeLog(log));
    if (folderAvailable)
        QVERIFY(rig.runToEnd());
    else
        QTest::mouseClick(rig.f.SaveParameters, Qt::LeftButton);
    QCOMPARE(rig.prompter.texts(), QStringList(message));
    QCOMPARE(rig.prompter.messages.first().title, QString());
    QVERIFY(rig.idle());
    QCOMPARE(rig.workbooks(), earlier);
    for (const QString& name : earlier) {
        QFile workbook(QDir(rig.folder).filePath(name));
        QVERIFY(workbook.open(QIODevice::ReadOnly));
        QCOMPARE(workbook.readAll(), QByteArray("earlier"));
    }
}

void TstParsingWindow::closingDuringARunCancelsIt()
{
    Rig rig;
    rig.main.hide();
    rig.browse(rig.writeLog(kRecordPair.repeated(32 * int(debuglog::ParsingJob::kProgressEveryLines) / 3)));
    connect(&rig.window.run(), &debuglog::ParsingRun::progressed, &rig.window, &QWidget::close);
    QVERIFY(rig.runToEnd());
    QVERIFY(rig.window.isHidden());
    QVERIFY(rig.main.isVisible());
    QCOMPARE(rig.finished.first().first().value<ParsingOutcome>().result, ParsingOutcome::Result::Cancelled);
    QVERIFY(rig.prompter.messages.isEmpty());
    QCOMPARE(rig.workbooks(), QStringList());
    QVERIFY(rig.idle());
}

VELTO_QTEST_MAIN_ON_SCREEN(TstParsingWindow, 1366, 768)
#include "tst_parsing_window.moc"
