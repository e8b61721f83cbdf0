// The real file dialog behind the prompter, driven the way a user answers it.
#include "ui/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
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
