#include "cli_process.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using velto::test::CliRun;
using velto::test::namedTexts;
using velto::test::runCli;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kValueSeparator = QStringLiteral(" , ");
constexpr int kPatientReplyWaitMs = 250;
const QStringList kSensorBoxes { "VeltoDevSta", "TxtVeltoDist", "TextVeltoLevel", "TextVeltoTemp",
    "IrVeltoTnakHeight" };

} // namespace

class TestCliVelto : public QObject {
    Q_OBJECT

private:
    velto::test::SimProcess m_sim;

    // The simulated sensors run in a process of their own; on a loaded machine they may answer later
    // than the window's 50 ms, so runs that must succeed wait longer for each reply.
    QStringList onSim(QStringList arguments) const
    {
        arguments << QStringLiteral("--port") << m_sim.path() << QStringLiteral("--reply-wait")
                  << QString::number(kPatientReplyWaitMs);
        return arguments;
    }

private slots:
    void initTestCase() { QVERIFY(m_sim.start()); }
    void cleanupTestCase() { m_sim.stop(); }

    void layoutFollowsTheUnit_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("twoSensors");
        QTest::newRow("single sensor") << "10" << false;
        QTest::newRow("two-sensor unit") << "20" << true;
    }
    void layoutFollowsTheUnit()
    {
        QFETCH(QString, address);
        QFETCH(bool, twoSensors);
        const CliRun run = runCli(onSim({ "velto", "poll", "--address", address, "--ticks", "2" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 2);
        for (const QString& line : run.lines) {
            const auto shown = namedTexts(line);
            for (const QString& box : kSensorBoxes) {
                QVERIFY2(shown.contains(box), qPrintable(box));
                QCOMPARE(shown.contains(box + "2"), twoSensors);
            }
            QCOMPARE(
                shown.value("LabelSensorNo1"), twoSensors ? QStringLiteral("Sensor No. 1") : "Single Sensor");
        }
    }

    void unitsScaleTheLengths_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("Meter") << "Meter"
                               << "meter"
                               << R"(^\d+(\.\d+)?$)";
        QTest::newRow("Inch") << "Inch"
                              << "inch"
                              << R"(^\d*\.\d{3}$)";
        QTest::newRow("Feet") << "Feet"
                              << "feet"
                              << R"(^\d*\.\d{3}$)";
    }
    void unitsScaleTheLengths()
    {
        QFETCH(QString, unit);
        QFETCH(QString, label);
        QFETCH(QString, pattern);
        const CliRun run
            = runCli(onSim({ "velto", "poll", "--address", "10", "--ticks", "1", "--unit", unit }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 1);
        const auto shown = namedTexts(run.lines[0]);
        QCOMPARE(shown.value("labelVeltoDist"), label);
        QCOMPARE(shown.value("LabelVeltoTnakHeight"), label);
        const QRegularExpression number(pattern);
        for (const char* box : { "TxtVeltoDist", "IrVeltoTnakHeight", "TextVeltoLevel" })
            QVERIFY2(number.match(shown.value(box)).hasMatch(), qPrintable(box + (" = " + shown.value(box))));
    }

    void silentAddressFails()
    {
        const CliRun run = runCli(onSim({ "velto", "poll", "--address", "33", "--ticks", "1" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.errors.contains("no valid reply"));
    }

    void logMatchesThePrintedTexts_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("sensors");
        QTest::newRow("single sensor")
            << "10"
            << "Error Status,Distance,Level,Temperature,Tank Height,Time,Date " << 1;
        QTest::newRow("two-sensor unit") << "20"
                                         << "Error Status 1,Distance 1,Level 1,Temperature 1,Tank Height "
                                            "1,Error Status 2,Distance 2,Level 2,"
                                            "Temperature 2,Tank Height 2,Time,Date "
                                         << 2;
    }
    void logMatchesThePrintedTexts()
    {
        QFETCH(QString, address);
        QFETCH(QString, title);
        QFETCH(int, sensors);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("velto.csv");
        // A rate below the tick period logs once after every tick.
        const CliRun run = runCli(
            onSim({ "velto", "poll", "--address", address, "--ticks", "3", "--log", path, "--rate", "0.5" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.size(), 3);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString content = QString::fromLatin1(file.readAll());
        QVERIFY(content.endsWith(kCrLf));
        const QStringList lines = content.split(kCrLf, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], title);
        for (int tick = 0; tick < 3; ++tick) {
            const auto shown = namedTexts(run.lines[tick]);
            QStringList values;
            for (int s = 0; s < sensors; ++s) {
                for (const QString& box : kSensorBoxes)
                    values << shown.value(s == 0 ? box : box + "2");
            }
            const QStringList fields = lines[tick + 1].split(kValueSeparator);
            // The values, the time, the date, and the empty rest after the last separator.
            QCOMPARE(fields.size(), values.size() + 3);
            QCOMPARE(fields.mid(0, values.size()), values);
            QVERIFY(fields.last().isEmpty());
        }
    }

    void aLogThatCannotBeCreatedFails()
    {
        const CliRun run = runCli(onSim({ "velto", "poll", "--address", "10", "--ticks", "1", "--log",
            "/nonexistent-dir/velto.csv", "--rate", "1" }));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.lines.isEmpty());
        QVERIFY(run.errors.contains("An error has occurd"));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no port") << QStringList { "velto", "poll" };
        QTest::newRow("unit Yard") << QStringList { "velto", "poll", "--port", "p", "--unit", "Yard" };
        QTest::newRow("address 256") << QStringList { "velto", "poll", "--port", "p", "--address", "256" };
        QTest::newRow("interval 0") << QStringList { "velto", "poll", "--port", "p", "--interval", "0" };
        QTest::newRow("reply wait 0") << QStringList { "velto", "poll", "--port", "p", "--reply-wait", "0" };
        QTest::newRow("rate without log") << QStringList { "velto", "poll", "--port", "p", "--rate", "1" };
        QTest::newRow("rate 0") << QStringList { "velto", "poll", "--port", "p", "--log", "f", "--rate",
            "0" };
        QTest::newRow("velto alone") << QStringList { "velto" };
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = runCli(arguments);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, velto::test::kCliExitUsage);
        QVERIFY(run.lines.isEmpty());
        QVERIFY2(run.errors.contains("Usage: velto-cli"), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestCliVelto)
#include "tst_cli_velto.moc"
