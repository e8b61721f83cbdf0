// --trace on the commands that talk to a line: the traffic monitor's rows on stderr, against the
// simulated sensors in their own process.
#include "cli_process.h"
#include "sim/intel_hex.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using velto::test::CliRun;
using velto::test::runCli;

namespace {

constexpr int kPatientReplyWaitMs = 250;
constexpr int kFields = 9;

// The trace rows of a run: each line of stderr split at its tabs, the header line first.
QList<QStringList> traceRows(const CliRun& run)
{
    QList<QStringList> rows;
    for (const QString& line : run.errors.split('\n', Qt::SkipEmptyParts))
        rows << line.split('\t');
    return rows;
}

// "DIR Protocol: summary" of every row of one protocol.
QStringList summaries(const QList<QStringList>& rows, const QString& protocol)
{
    QStringList out;
    for (const QStringList& row : rows) {
        if (row.size() == kFields && row[4] == protocol)
            out << row[3] + ' ' + row[8];
    }
    return out;
}

} // namespace

class TestCliTrace : public QObject {
    Q_OBJECT

private:
    velto::test::SimProcess m_sim;

private slots:
    void initTestCase() { QVERIFY(m_sim.start()); }
    void cleanupTestCase() { m_sim.stop(); }

    void modbusReadAndTimeout()
    {
        CliRun run
            = runCli({ "modbus", "read", "--port", m_sim.path(), "--start", "0", "--count", "2", "--trace" });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        const QList<QStringList> rows = traceRows(run);
        QVERIFY(rows.size() >= 3);
        QCOMPARE(rows[0].join('\t'),
            QString("Time\tSince connect (s)\tGap (ms)\tDir\tProtocol\tLength\tHex\tASCII\tSummary"));
        for (const QStringList& row : rows)
            QCOMPARE(row.size(), kFields);
        QStringList modbus = summaries(rows, "Modbus RTU");
        QCOMPARE(modbus.size(), 2);
        QCOMPARE(modbus[0], QString("TX slave 1: read holding registers R0..R1 (2), CRC ok"));
        QVERIFY2(modbus[1].startsWith("RX slave 1: R0..R1 = "), qPrintable(modbus[1]));
        // The words printed on stdout are the words on the wire.
        QVERIFY(run.lines.size() >= 1);

        run = runCli({ "modbus", "read", "--port", m_sim.path(), "--slave", "9", "--start", "0", "--count",
            "2", "--rx-timeout", "200", "--trace" });
        QCOMPARE(run.exitCode, 1);
        modbus = summaries(traceRows(run), "Modbus RTU");
        QCOMPARE(modbus.size(), 2);
        QCOMPARE(modbus[1], QString("-- FAILURE: Time-out: no response from slave 9 within 200 ms"));
    }

    void veltoPoll()
    {
        const CliRun run = runCli({ "velto", "poll", "--port", m_sim.path(), "--address", "10", "--ticks",
            "1", "--reply-wait", QString::number(kPatientReplyWaitMs), "--trace" });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        const QStringList velto = summaries(traceRows(run), "Velto ASCII");
        // Four requests of the tick, each answered.
        QCOMPARE(velto.size(), 8);
        QCOMPARE(velto[0], QString("TX request distance (01) of address 10, sensor digit 0"));
        QVERIFY2(velto[1].startsWith("RX distance (01) = "), qPrintable(velto[1]));
        QVERIFY(velto[1].endsWith(", single sensor, checksum ok"));
    }

    // The flash commands' rows: the bootloader commands, each HEX record and every answer, judged.
    void flashBurnAndErase()
    {
        QTemporaryDir dir;
        QFile hex(dir.filePath("firmware.hex"));
        QVERIFY(hex.open(QIODevice::WriteOnly));
        const QByteArray file = velto::sim::sampleHexFile(3);
        hex.write(file);
        hex.close();
        CliRun run = runCli({ "flash", "burn", "--port", m_sim.path(), "--hex", hex.fileName(), "--converter",
            dir.filePath("none"), "--trace" });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        const QList<QStringList> rows = traceRows(run);
        QStringList flash = summaries(rows, "Flash");
        QVERIFY2(flash.size() >= 9, qPrintable(flash.join('\n')));
        QVERIFY2(flash[0].startsWith("-- Port "), qPrintable(flash[0]));
        QCOMPARE(flash.mid(1, 2), (QStringList { "TX start burning", "RX Flash Start Burn" }));
        QList<QByteArray> records;
        for (const QByteArray& line : file.split('\n'))
            records << line.trimmed();
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(flash[3 + 2 * i].startsWith("TX HEX record "), qPrintable(flash[3 + 2 * i]));
            QVERIFY(flash[3 + 2 * i].endsWith(", checksum ok"));
            QVERIFY(flash[4 + 2 * i] == "RX File Transfering... Please Wait"
                || flash[4 + 2 * i] == "RX End of File");
        }
        // The record's own bytes, as they went.
        for (const QStringList& row : rows) {
            if (row.size() == kFields && row[8].startsWith("HEX record "))
                QVERIFY(records.contains(row[7].toLatin1()));
        }
        // The window's transcript still comes with it.
        QVERIFY(run.errors.contains("DebugText: >B0"));

        run = runCli({ "flash", "erase", "--port", m_sim.path(), "--trace" });
        QCOMPARE(run.exitCode, 0);
        flash = summaries(traceRows(run), "Flash");
        QCOMPARE(flash.mid(1), (QStringList { "TX flash erase", "RX Flash Erase Succeeded" }));
    }

    // Without --trace nothing of it shows; with a bad argument nothing is traced either.
    void onlyWhenAsked()
    {
        CliRun run = runCli({ "modbus", "read", "--port", m_sim.path(), "--start", "0", "--count", "1" });
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.errors.isEmpty());
        run = runCli({ "modbus", "read", "--port", m_sim.path(), "--start", "0", "--trace" });
        QCOMPARE(run.exitCode, velto::test::kCliExitUsage);
        QVERIFY(!run.errors.contains("\tTX\t"));
    }

    // The debug capture's trace is the same rows, labelled as the debug line.
    void debugCapture()
    {
        velto::test::SimProcess debugSim;
        QVERIFY(debugSim.start({ "--taliq485" }));
        QTemporaryDir dir;
        const CliRun run = runCli({ "debug", "capture", "--port", debugSim.path(), "--out",
            dir.filePath("c.txt"), "--seconds", "1", "--trace" });
        debugSim.stop();
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        const QStringList debug = summaries(traceRows(run), "Debug");
        QVERIFY(debug.size() >= 2);
        QVERIFY2(debug[0].startsWith("-- Port "), qPrintable(debug[0]));
        QVERIFY(debug[1].startsWith("RX "));
    }
};

QTEST_GUILESS_MAIN(TestCliTrace)
#include "tst_cli_trace.moc"
