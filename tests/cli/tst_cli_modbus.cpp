#include "cli_process.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using velto::test::CliRun;
using velto::test::namedTexts;
using velto::test::runCli;

namespace {

// Far below the 1000 ms default, so a silent slave costs little.
const QString kShortRxTimeout = QStringLiteral("200");
constexpr int kStaticWords = 16;
const QString kCrLf = QStringLiteral("\r\n");

} // namespace

class TestCliModbus : public QObject {
    Q_OBJECT

private:
    velto::test::SimProcess m_sim;

    QStringList onSim(QStringList arguments) const
    {
        arguments << QStringLiteral("--port") << m_sim.path();
        return arguments;
    }

private slots:
    void initTestCase() { QVERIFY(m_sim.start()); }
    void cleanupTestCase() { m_sim.stop(); }

    void pollPrintsTheThreeGroupsInTurn()
    {
        const CliRun run = runCli(onSim({ "modbus", "poll", "--ticks", "3", "--slave", "2" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 4);
        const auto staticGroup = namedTexts(run.lines[0]);
        QCOMPARE(staticGroup.value("IrMeasurementUnit"), QStringLiteral("FEET"));
        QCOMPARE(staticGroup.value("IrTankHeight"), QStringLiteral("40"));
        QCOMPARE(staticGroup.value("LabelTankHeight"), QStringLiteral("feet"));
        const auto dynamicGroup = namedTexts(run.lines[1]);
        QVERIFY(dynamicGroup.contains("IrDistance"));
        QCOMPARE(dynamicGroup.value("DeviceAddText"), QStringLiteral("2"));
        QVERIFY(namedTexts(run.lines[2]).contains("IrcommTYpe"));
        QVERIFY2(run.lines[3].startsWith("polls=3 valid=3 timeouts=0 errors=0 elapsed_ms="),
            qPrintable(run.lines[3]));
    }

    void pollOfASilentSlaveShowsTheTimeOut()
    {
        const CliRun run = runCli(
            onSim({ "modbus", "poll", "--ticks", "1", "--slave", "7", "--rx-timeout", kShortRxTimeout }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.lines.size(), 2);
        const auto failure = namedTexts(run.lines[0]);
        QCOMPARE(failure.value("status"), QStringLiteral("9"));
        QVERIFY(!failure.value("LastErrorText").isEmpty());
        QVERIFY(run.lines[1].startsWith("polls=1 valid=0 timeouts=1 errors=0 "));
    }

    void readPrintsOneLinePerRequest()
    {
        const CliRun run
            = runCli(onSim({ "modbus", "read", "--start", "51", "--count", "16", "--repeat", "2" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 3);
        for (int i = 0; i < 2; ++i) {
            const QStringList fields = run.lines[i].split(' ');
            QCOMPARE(fields.size(), 1 + kStaticWords);
            QCOMPARE(fields[0], QStringLiteral("0"));
            for (const QString& word : fields) {
                bool ok = false;
                const int value = word.toInt(&ok);
                QVERIFY2(ok && value >= -32768 && value <= 32767, qPrintable(word));
            }
        }
        QVERIFY2(run.lines[2].startsWith("polls=2 valid=2 timeouts=0 errors=0 elapsed_ms="),
            qPrintable(run.lines[2]));
    }

    // Failures are counted apart: a silent slave as a time-out, an exception as an error.
    void readFailures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("summary");
        QTest::newRow("silent slave") << QStringList { "--slave", "7", "--start", "0", "--count", "8" } << "9"
                                      << "polls=1 valid=0 timeouts=1 errors=0 ";
        QTest::newRow("illegal data address")
            << QStringList { "--slave", "1", "--start", "300", "--count", "1" } << "102"
            << "polls=1 valid=0 timeouts=0 errors=1 ";
    }
    void readFailures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, status);
        QFETCH(QString, summary);
        const CliRun run
            = runCli(onSim(QStringList { "modbus", "read", "--rx-timeout", kShortRxTimeout } + arguments));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.lines.size(), 2);
        QCOMPARE(run.lines[0].section(' ', 0, 0), status);
        QVERIFY(namedTexts(run.lines[0].section(' ', 1)).contains("LastErrorText"));
        QVERIFY2(run.lines[1].startsWith(summary), qPrintable(run.lines[1]));
    }

    void aPortThatWillNotOpenFails()
    {
        const CliRun run = runCli(
            { "modbus", "read", "--port", "/dev/velto-no-such-port", "--start", "0", "--count", "1" });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.lines.isEmpty());
        QVERIFY(!run.errors.isEmpty());
    }

    // The volume sensor: its caption goes into the title and its value is followed by "," alone.
    void pollLogMatchesThePrintedTexts()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("modbus.csv");
        // A rate below the tick period logs after every step once the panel is filled.
        const CliRun run = runCli(
            onSim({ "modbus", "poll", "--slave", "4", "--ticks", "3", "--log", path, "--rate", "0.1" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 4);
        QHash<QString, QString> shown = namedTexts(run.lines[0]);
        shown.insert(namedTexts(run.lines[1]));
        const QString caption = shown.value("Vol_Flow_Tot_Ind_Label");
        QVERIFY(!caption.isEmpty());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString content = QString::fromLatin1(file.readAll());
        QVERIFY(content.endsWith(kCrLf));
        const QStringList lines = content.split(kCrLf, Qt::SkipEmptyParts);
        // Opened once the static and dynamic groups were shown: after the second and third steps.
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0],
            "Error Status,Distance,Level,Temperature," + caption + ",Tank Height,Measurment Unit,Time,Date");
        const QString values = shown.value("ErrorStatusText") + " , " + shown.value("IrDistance") + " , "
            + shown.value("IrLevel") + " , " + shown.value("IrTemperature") + " , "
            + shown.value("Vol_Flow_Tot_Value_Text") + "," + shown.value("IrTankHeight") + " , "
            + shown.value("IrMeasurementUnit") + " , ";
        for (int i = 1; i < lines.size(); ++i) {
            QVERIFY2(lines[i].startsWith(values), qPrintable(lines[i] + "\nwanted: " + values));
            QVERIFY(lines[i].endsWith(" , "));
        }
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("usage");
        const QString read = "Usage: velto-cli modbus read";
        const QString poll = "Usage: velto-cli modbus poll";
        QTest::newRow("read without port")
            << QStringList { "modbus", "read", "--start", "0", "--count", "1" } << read;
        QTest::newRow("read without count")
            << QStringList { "modbus", "read", "--port", "p", "--start", "0" } << read;
        QTest::newRow("count 0") << QStringList { "modbus", "read", "--port", "p", "--start", "0", "--count",
            "0" } << read;
        QTest::newRow("count 126") << QStringList { "modbus", "read", "--port", "p", "--start", "0",
            "--count", "126" } << read;
        QTest::newRow("past 65535") << QStringList { "modbus", "read", "--port", "p", "--start", "65535",
            "--count", "2" } << read;
        QTest::newRow("slave 0") << QStringList { "modbus", "read", "--port", "p", "--slave", "0", "--start",
            "0", "--count", "1" } << read;
        QTest::newRow("repeat not a number") << QStringList { "modbus", "read", "--port", "p", "--start", "0",
            "--count", "1", "--repeat", "x" } << read;
        QTest::newRow("poll stray argument")
            << QStringList { "modbus", "poll", "--port", "p", "extra" } << poll;
        QTest::newRow("poll unknown option")
            << QStringList { "modbus", "poll", "--port", "p", "--fast" } << poll;
        QTest::newRow("poll negative ticks")
            << QStringList { "modbus", "poll", "--port", "p", "--ticks", "-1" } << poll;
        QTest::newRow("poll rx time-out 0")
            << QStringList { "modbus", "poll", "--port", "p", "--rx-timeout", "0" } << poll;
        QTest::newRow("log without rate")
            << QStringList { "modbus", "poll", "--port", "p", "--log", "f" } << poll;
        QTest::newRow("rate 61") << QStringList { "modbus", "poll", "--port", "p", "--log", "f", "--rate",
            "61" } << poll;
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, usage);
        const CliRun run = runCli(arguments);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, velto::test::kCliExitUsage);
        QVERIFY(run.lines.isEmpty());
        QVERIFY2(run.errors.contains(usage), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestCliModbus)
#include "tst_cli_modbus.moc"
