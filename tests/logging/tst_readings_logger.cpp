#include "logging/readings_logger.h"
#include "support/fake_prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto::logging;
using velto::test::FakePrompter;

namespace {

class FixedClock final : public velto::Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2024, 3, 7), QTime(9, 30)); }
    qint64 monotonicMs() const override { return 0; }
};

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

LogReadings twoSensorReadings()
{
    LogReadings r;
    r.mode = LogMode::Velto;
    r.twoSensors = true;
    r.velto[0] = { "O.K", "1", "2", "20", "3" };
    r.velto[1] = { "Full", "4", "5", "21", "6" };
    return r;
}

} // namespace

class TestReadingsLogger : public QObject {
    Q_OBJECT

    FakePrompter prompter;
    FixedClock clock;
    QTemporaryDir dir;

private slots:
    void init() { prompter.messages.clear(); }

    void openWritesTitleAndHeader()
    {
        ReadingsLogger logger(prompter, clock);
        QSignalSpy grid(&logger, &ReadingsLogger::gridReset);
        const QString path = dir.filePath("open.csv");
        QFile::remove(path);
        prompter.fileAnswers.enqueue(path);
        QVERIFY(logger.chooseAndOpen({ LogMode::Velto, true, {} }));
        QCOMPARE(prompter.fileDialogFilters.last(), kLogFileFilter);
        QCOMPARE(prompter.fileDialogSelectedFilters.last(), kLogFileSelectedFilter);
        QVERIFY(logger.isFileOpen());
        QVERIFY(!logger.isLogging());
        QCOMPARE(grid.size(), 1);
        QCOMPARE(grid.first().first().toStringList().size(), 12);
        QCOMPARE(contents(path), (titleText({ LogMode::Velto, true, {} }) + "\r\n").toUtf8());
        QVERIFY(prompter.messages.isEmpty());

        // A new file always starts fresh.
        QVERIFY(logger.openFile(path, { LogMode::Modbus, false, {} }));
        QCOMPARE(contents(path),
            QByteArray("Error Status,Distance,Level,Temperature,Tank Height,Measurment Unit,Time,Date\r\n"));
    }

    void cancelledDialogCreatesNothing()
    {
        ReadingsLogger logger(prompter, clock);
        QSignalSpy grid(&logger, &ReadingsLogger::gridReset);
        QVERIFY(!logger.chooseAndOpen({}));
        QVERIFY(!logger.isFileOpen());
        QCOMPARE(grid.size(), 0);
    }

    void unwritablePathReportsBothFailures()
    {
        ReadingsLogger logger(prompter, clock);
        QVERIFY(logger.openFile(dir.filePath("no/such/dir/x.csv"), { LogMode::Velto, false, {} }));
        QCOMPARE(prompter.texts(), QStringList({ kCreateFileError, kTitleVeltoError }));
        prompter.messages.clear();
        QVERIFY(logger.openFile(dir.filePath("no/such/dir/x.csv"), { LogMode::Modbus, false, {} }));
        QCOMPARE(prompter.texts(), QStringList({ kCreateFileError, kTitleModbusError }));
    }

    void rateEntries()
    {
        ReadingsLogger logger(prompter, clock);
        QSignalSpy resume(&logger, &ReadingsLogger::pollingResumeRequested);
        QVERIFY(logger.openFile(dir.filePath("rate.csv"), {}));
        QCOMPARE(int(logger.setRateText(u"0.5").kind), int(RateEntry::Kind::Valid));
        QVERIFY(logger.isLogging());
        QCOMPARE(logger.timer().interval(), 500);
        QCOMPARE(logger.timer().objectName(), QStringLiteral("TimerRateInsertDataToFile"));
        logger.setRateText(u"60");
        QCOMPARE(logger.timer().interval(), 60000);
        QCOMPARE(resume.size(), 2);

        for (const char16_t* bad : { u"0", u"61" }) {
            prompter.messages.clear();
            QCOMPARE(int(logger.setRateText(bad).kind), int(RateEntry::Kind::Invalid));
            QCOMPARE(prompter.texts(), QStringList { kRateMessage });
            QVERIFY(!logger.isLogging());
            // The window empties the box, which comes back as an empty entry.
            logger.setRateText(u"");
            QVERIFY(!logger.isLogging());
        }
        QCOMPARE(resume.size(), 4);

        logger.setRateText(u"2");
        logger.closeFile();
        QVERIFY(!logger.isLogging());
        // No file: a rate does not start logging into nowhere.
        logger.setRateText(u"2");
        QVERIFY(!logger.isLogging());
    }

    void ticksAppendWholeLines()
    {
        ReadingsLogger logger(prompter, clock);
        logger.setReadingsSource(twoSensorReadings);
        QSignalSpy rows(&logger, &ReadingsLogger::rowLogged);
        const QString path = dir.filePath("lines.csv");
        QVERIFY(logger.openFile(path, { LogMode::Velto, true, {} }));
        logger.setRateText(u"0.05");
        QTRY_VERIFY(rows.size() >= 2);
        logger.closeFile();

        const QList<QByteArray> lines = contents(path).split('\n');
        QVERIFY(lines.size() >= 4);
        QVERIFY(lines.last().isEmpty()); // the last line ends too
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY2(lines.at(i).endsWith('\r'), lines.at(i).constData());
        QCOMPARE(lines.at(1) + '\n', dataLine(twoSensorReadings(), clock.now()).toUtf8());
        QCOMPARE(rows.first().first().toStringList(), gridRow(twoSensorReadings(), clock.now()));
        QVERIFY(prompter.messages.isEmpty());
    }

    void deletedFileReportedEveryTickAndNotRecreated()
    {
        ReadingsLogger logger(prompter, clock);
        logger.setReadingsSource(twoSensorReadings);
        QSignalSpy rows(&logger, &ReadingsLogger::rowLogged);
        const QString path = dir.filePath("deleted.csv");
        QVERIFY(logger.openFile(path, { LogMode::Velto, true, {} }));
        QVERIFY(QFile::remove(path));
        logger.setRateText(u"0.05");
        QTRY_VERIFY(prompter.messages.size() >= 3);
        QVERIFY(logger.isLogging());
        logger.closeFile();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(rows.size(), 0);
        for (const QString& text : prompter.texts())
            QCOMPARE(text, kEnterDataError);
    }

    // The log's place taken by a folder, or its folder gone, mid-run: each tick reports, nothing is
    // created in its stead, and the logging goes on for when the file comes back.
    void fileReplacedOrFolderGoneMidRun()
    {
        ReadingsLogger logger(prompter, clock);
        logger.setReadingsSource(twoSensorReadings);
        QSignalSpy rows(&logger, &ReadingsLogger::rowLogged);
        QTemporaryDir folder;
        const QString path = folder.filePath("log.csv");
        QVERIFY(logger.openFile(path, { LogMode::Velto, true, {} }));
        logger.EnterDataToFile();
        QCOMPARE(rows.size(), 1);

        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        logger.EnterDataToFile();
        logger.EnterDataToFile();
        QCOMPARE(prompter.texts(), QStringList(2, kEnterDataError));
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(logger.isFileOpen());

        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(folder.remove());
        logger.EnterDataToFile();
        QCOMPARE(prompter.texts(), QStringList(3, kEnterDataError));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(rows.size(), 1);
    }

    // The log made read-only under a running log (root ignores the mode bits, so only as a user).
    void readOnlyLogMidRun()
    {
        ReadingsLogger logger(prompter, clock);
        logger.setReadingsSource(twoSensorReadings);
        QTemporaryDir folder;
        const QString path = folder.filePath("log.csv");
        QVERIFY(logger.openFile(path, { LogMode::Velto, true, {} }));
        QFile file(path);
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
        if (QFileInfo(path).isWritable()) {
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QSKIP("running with rights that ignore file modes");
        }
        const QByteArray before = contents(path);
        logger.EnterDataToFile();
        QCOMPARE(prompter.texts(), QStringList { kEnterDataError });
        QCOMPARE(contents(path), before);
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        logger.EnterDataToFile();
        QCOMPARE(prompter.texts().size(), 1);
        QVERIFY(contents(path).size() > before.size());
        QVERIFY(contents(path).endsWith("\r\n"));
    }

    // A device that takes no bytes: every write fails and no grid row claims a logged line.
    void failedWriteIsReportedNotEchoed()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        // Opening for appending seeks to the end, which a character device refuses.
        for (int i = 0; i < 2; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot call seek on a sequential device"));
        ReadingsLogger logger(prompter, clock);
        logger.setReadingsSource(twoSensorReadings);
        QSignalSpy rows(&logger, &ReadingsLogger::rowLogged);
        QVERIFY(logger.openFile("/dev/full", { LogMode::Velto, false, {} }));
        QCOMPARE(prompter.texts(), QStringList { kTitleVeltoError });
        logger.EnterDataToFile();
        QCOMPARE(prompter.lastText(), kEnterDataError);
        QCOMPARE(rows.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestReadingsLogger)
#include "tst_readings_logger.moc"
