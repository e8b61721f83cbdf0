#include "cli/cli_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace velto::test;

namespace {

const QByteArray kCapture
    = "Taliq485 v2.3 boot\t    0.01\r\n"
      "D 1523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 "
      "M 1 C 1 S 0\t    0.50\r\n"
      "R_SEARCH : Current Search Distance =  1600\t    0.55\r\n"
      "D 1524 RD 1531 RD2 1529 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 "
      "M 1 C 0 S 0\t    1.00\r\n";

QString writeLog(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath("capture.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

CliRun runWithHome(const QStringList& arguments, const QString& home)
{
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(VELTO_CLI_PATH), arguments);
    CliRun run;
    run.finished = cli.waitForFinished(kCliWaitMs);
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.lines = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(cli.readAllStandardError());
    return run;
}

} // namespace

class TstCliDebugParse : public QObject {
    Q_OBJECT
private slots:
    void writesBothWorkbooksIntoTheFolder();
    void defaultsToTheDataFolder();
    void aCutLastLineIsLeftOut();
    void badLogsFailWithTheWindowsMessage_data();
    void badLogsFailWithTheWindowsMessage();
    void badArguments();
};

void TstCliDebugParse::writesBothWorkbooksIntoTheFolder()
{
    QTemporaryDir dir;
    const QString log = writeLog(dir, kCapture);
    const QString out = dir.filePath("made/for it");
    const CliRun run = runCli({ "debug", "parse", log, "--out-dir", out });
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 2);
    const auto texts = namedTexts(run.lines.first());
    QCOMPARE(texts.value("Lines"), QString("4"));
    QCOMPARE(texts.value("AllRows"), QString("2"));
    QCOMPARE(texts.value("CurrentRows"), QString("1"));
    QCOMPARE(texts.value("AllWorkbook"), out + "/TaliqAllDebug.xlsx");
    QCOMPARE(texts.value("CurrentWorkbook"), out + "/Taliq4_20Debug.xlsx");
    QVERIFY(QFile::exists(out + "/TaliqAllDebug.xlsx"));
    QVERIFY(QFile::exists(out + "/Taliq4_20Debug.xlsx"));
    QCOMPARE(run.lines.last(),
        "Message=\"2 rows saved to TaliqAllDebug.xlsx and 1 rows to Taliq4_20Debug.xlsx in " + out + ".\"");
}

// A capture stopped inside a line: the line is left out and named, the rest saved.
void TstCliDebugParse::aCutLastLineIsLeftOut()
{
    QTemporaryDir dir;
    const QString log = writeLog(dir, kCapture + "D 1525 RD 1532 RD2 15");
    const CliRun run = runCli({ "debug", "parse", log, "--out-dir", dir.path() });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 2);
    const auto texts = namedTexts(run.lines.first());
    QCOMPARE(texts.value("Lines"), QString("4"));
    QCOMPARE(texts.value("AllRows"), QString("2"));
    QVERIFY2(
        run.lines.last().endsWith(
            "The last line (line 5) has no line end, as when a capture is cut short: it was left out.\""),
        qPrintable(run.lines.last()));
}

void TstCliDebugParse::defaultsToTheDataFolder()
{
    QTemporaryDir home;
    const QString log = writeLog(home, kCapture);
    const CliRun run = runWithHome({ "debug", "parse", log }, home.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QDir(home.filePath("Rendo Monitor")).entryList(QDir::Files, QDir::Name),
        QStringList({ "Taliq4_20Debug.xlsx", "TaliqAllDebug.xlsx" }));
}

void TstCliDebugParse::badLogsFailWithTheWindowsMessage_data()
{
    QTest::addColumn<QByteArray>("log"); // null: see logAt
    QTest::addColumn<QString>("logAt"); // "fifo", "missing", or a device
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason"); // on stderr

    QTest::newRow("bad line") << kCapture + "D 7 RD 9 R P x G\r\n"
                              << ""
                              << "Incorrect TXT File Format in line 5 (P: not a number)"
                              << "line 5: P: not a number";
    QTest::newRow("missing") << QByteArray() << "missing"
                             << "Problen to Open TXT File"
                             << "none.txt";
    QTest::newRow("a HEX file") << QByteArray(":020000040000FA\r\n:00000001FF\r\n") << ""
                                << "TXT File Holds No Records: the Workbooks Were Kept"
                                << "no record line";
    // Neither may hang: a pipe waits for a writer, a device never ends.
    QTest::newRow("a pipe") << QByteArray() << "fifo"
                            << "Problen to Open TXT File"
                            << "it is not a file";
    QTest::newRow("a device") << QByteArray() << "/dev/zero"
                              << "Problen to Open TXT File"
                              << "it is not a file";
}

void TstCliDebugParse::badLogsFailWithTheWindowsMessage()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, logAt);
    QFETCH(QString, message);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath("none.txt");
    if (!log.isNull())
        path = writeLog(dir, log);
    else if (logAt == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (logAt != "missing")
        path = logAt;
    if (!QFileInfo::exists(path) && logAt != "missing")
        QSKIP("no such device here");
    const CliRun run = runCli({ "debug", "parse", path, "--out-dir", dir.path() });
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines, QStringList("Message=\"" + message + "\""));
    QVERIFY2(run.errors.contains(reason), qPrintable(run.errors));
    QCOMPARE(QDir(dir.path()).entryList({ "*.xlsx", ".*.xlsx" }, QDir::Files | QDir::Hidden), QStringList());
}

void TstCliDebugParse::badArguments()
{
    for (const QStringList& args : { QStringList { "debug", "parse" }, { "debug", "parse", "a.txt", "b.txt" },
             { "debug", "parse", "a.txt", "--out" }, { "debug", "parse", "a.txt", "--out-dir", "" },
             { "debug", "parse", "a.txt", "--out-dir", " " } }) {
        const CliRun run = runCli(args);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, kCliExitUsage);
        QVERIFY(run.lines.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TstCliDebugParse)
#include "tst_cli_debug_parse.moc"
