#include "cli/cli_process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
    void aBadLogFailsWithTheWindowsMessage();
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
    QCOMPARE(run.lines.size(), 1);
    const auto texts = namedTexts(run.lines.first());
    QCOMPARE(texts.value("Lines"), QString("4"));
    QCOMPARE(texts.value("AllRows"), QString("2"));
    QCOMPARE(texts.value("CurrentRows"), QString("1"));
    QCOMPARE(texts.value("AllWorkbook"), out + "/TaliqAllDebug.xlsx");
    QCOMPARE(texts.value("CurrentWorkbook"), out + "/Taliq4_20Debug.xlsx");
    QVERIFY(QFile::exists(out + "/TaliqAllDebug.xlsx"));
    QVERIFY(QFile::exists(out + "/Taliq4_20Debug.xlsx"));
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

void TstCliDebugParse::aBadLogFailsWithTheWindowsMessage()
{
    QTemporaryDir dir;
    const QString log = writeLog(dir, kCapture + "D 7 RD 9 R P x G\r\n");
    const CliRun run = runCli({ "debug", "parse", log, "--out-dir", dir.path() });
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines, QStringList("Message=\"Incorrect TXT File Format\""));
    QVERIFY2(run.errors.contains("line 5: P: not a number"), qPrintable(run.errors));
    QCOMPARE(QDir(dir.path()).entryList({ "*.xlsx", ".*.xlsx" }, QDir::Files | QDir::Hidden), QStringList());

    const CliRun missing = runCli({ "debug", "parse", dir.filePath("none.txt"), "--out-dir", dir.path() });
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.lines, QStringList("Message=\"Problen to Open TXT File\""));
}

void TstCliDebugParse::badArguments()
{
    for (const QStringList& args : { QStringList { "debug", "parse" }, { "debug", "parse", "a.txt", "b.txt" },
             { "debug", "parse", "a.txt", "--out" } }) {
        const CliRun run = runCli(args);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, kCliExitUsage);
        QVERIFY(run.lines.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TstCliDebugParse)
#include "tst_cli_debug_parse.moc"
