// The real file dialog behind the prompter, driven the way a user answers it.
#include "ui/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace velto;

namespace {
// Only catches a dialog that never opened or never closed.
constexpr int kGuardMs = 10000;

const QString kFilter = QStringLiteral("All Files (*.*);;Text Files(*.txt);; csv Files (*.csv)");
const QString kCsvEntry = QStringLiteral(" csv Files (*.csv)");

// Answers the next file dialog once it is up: notes how it opened, then picks `path`.
struct DialogAnswer {
    QString path;
    QString selectedFilter;
    bool answered = false;

    void arm()
    {
        auto* poll = new QTimer;
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->deleteLater();
            selectedFilter = dialog->selectedNameFilter();
            dialog->selectFile(path);
            // selectFile leaves the name box alone while it has the focus, as in a second dialog.
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(QFileInfo(path).fileName());
            answered = true;
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides its accept(); it still runs
        });
        poll->start();
        QTimer::singleShot(kGuardMs, poll, [poll] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
            poll->deleteLater();
        });
    }
};
} // namespace

class TestQtPrompter : public QObject {
    Q_OBJECT

private slots:
    void logFileDialogTakesANewNameWithCsvPreselected()
    {
        QTemporaryDir dir;
        ui::QtPrompter prompter;
        DialogAnswer answer { dir.filePath("fresh.csv") };
        answer.arm();
        const QString chosen = prompter.openOrNewFileName("Open", kFilter, kCsvEntry, dir.path());
        QVERIFY(answer.answered);
        QCOMPARE(answer.selectedFilter.simplified(), kCsvEntry.simplified());
        QCOMPARE(chosen, answer.path);
        QVERIFY(!QFileInfo::exists(chosen)); // the caller creates it
    }

    // A name typed without a suffix gets the filter's, so the dialog asks about replacing the file
    // that will really be written.
    void saveDialogAddsTheFilterSuffix()
    {
        QTemporaryDir dir;
        ui::QtPrompter prompter;
        DialogAnswer answer { dir.filePath("capture1") };
        answer.arm();
        QCOMPARE(prompter.saveFileName("Save As", "TXT Files (*.txt)", {}, dir.path()),
            dir.filePath("capture1.txt"));
        DialogAnswer kept { dir.filePath("capture1.log") };
        kept.arm();
        QCOMPARE(prompter.saveFileName("Save As", "TXT Files (*.txt)", {}, dir.path()),
            dir.filePath("capture1.log"));
    }

    // A short text under a long title: the box is wide enough for the title beside the frame's
    // buttons, not just for the text.
    void messageBoxTitleIsNotClipped()
    {
        ui::QtPrompter prompter;
        const QString title = QStringLiteral("Velto PC Control Application");
        prompter.message(QStringLiteral("Invalid Value"), title, Prompter::Icon::None);
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "PrompterMessage")
                box = qobject_cast<QMessageBox*>(w);
        }
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
        const int needed = metrics.horizontalAdvance(title)
            + 4 * box->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, box);
        QVERIFY2(box->width() >= needed, qPrintable(QString("%1 < %2").arg(box->width()).arg(needed)));
        box->close();
    }

    void openDialogStillWantsAnExistingFile()
    {
        QTemporaryDir dir;
        QFile existing(dir.filePath("there.hex"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        ui::QtPrompter prompter;
        DialogAnswer answer { existing.fileName() };
        answer.arm();
        QCOMPARE(prompter.openFileName("Open", "HEX Files (*.hex)", {}, dir.path()), existing.fileName());
    }
};

QTEST_MAIN(TestQtPrompter)
#include "tst_qt_prompter.moc"
