#include "modbus/modbus_crc.h"
#include "sim/manual_clock.h"
#include "sim/radar_responder.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"
#include "support/radar_bytes.h"

#include <QSerialPort>
#include <QTest>

#include <cmath>

using namespace velto::sim;
using velto::modbus::hasValidModbusCrc;
using velto::modbus::withModbusCrc;
using velto::test::blockChecksumsHold;
using velto::test::radarCommandFrame;
using velto::test::radarSum;

namespace {

QByteArray readRequest(int address)
{
    return withModbusCrc(
        QByteArray::fromHex(QByteArray::number(address, 16).rightJustified(2, '0') + "0300000001"));
}

} // namespace

class TstSimulatedRadar : public QObject {
    Q_OBJECT
private slots:
    void radarFramesShareTheLineWithModbus();
    void statusReplies();
    void monitoringData();
    void faultKnobs();
    void paceFollowsThePortSettings();
};

void TstSimulatedRadar::radarFramesShareTheLineWithModbus()
{
    ManualClock clock(1000);
    SensorSimulator sim(clock);
    // A radar frame cut anywhere, a Modbus request behind it: both are answered, the radar later.
    const QByteArray bytes = radarCommandFrame(radar_wire::kStandBy) + readRequest(1);
    QByteArray modbus;
    for (char b : bytes)
        modbus += sim.feed(QByteArrayView(&b, 1));
    QCOMPARE(modbus.size(), 7);
    QCOMPARE(quint8(modbus[0]), quint8(1));
    const QList<RadarReply> paced = sim.takePacedReplies();
    QCOMPARE(paced.size(), 1);
    QCOMPARE(paced[0].bytes.toHex(' '), QByteArray("55 aa 05 00 00 00 00 00 00 00 00 00 04"));
    QVERIFY(sim.takePacedReplies().isEmpty());

    // A radar frame with a wrong sum is not answered and does not hold up the next request.
    QByteArray bad = radarCommandFrame(radar_wire::kTrack);
    bad[17] = char(bad[17] + 1);
    QCOMPARE(sim.feed(bad + readRequest(2)).size(), 7);
    QVERIFY(sim.takePacedReplies().isEmpty());
    QCOMPARE(sim.pendingBytes(), 0);
}

void TstSimulatedRadar::statusReplies()
{
    RadarResponder radar;
    const qint64 ms = 30000;
    QByteArray status = radar.respond(radarCommandFrame(radar_wire::kSendStatus), ms).value(0).bytes;
    QCOMPARE(status.size(), 13);
    QCOMPARE(quint8(status[12]), radarSum(QByteArrayView(status).first(12)));
    const auto raw = [](const QByteArray& r) {
        return qint32(quint8(r[3]) | quint8(r[4]) << 8 | quint8(r[5]) << 16 | quint32(quint8(r[6])) << 24);
    };
    QCOMPARE(raw(status), 38485); // 3 m + 1.2 m sin(2 pi 30 s / 240 s)
    QVERIFY(raw(status) >= 18000 && raw(status) <= 42000);
    QVERIFY(quint8(status[11]) >= 24 && quint8(status[11]) <= 32);
    // The distance moves slowly: a few millimetres in a second, not more.
    QVERIFY(std::abs(radar.distanceTenthsOfMm(ms + 1000) - radar.distanceTenthsOfMm(ms)) < 400);

    radar.respond(radarCommandFrame(radar_wire::kSetParameters, 0, 7000), ms);
    QCOMPARE(radar.tankHeightMm(), 7000);
    status = radar.respond(radarCommandFrame(radar_wire::kSendStatus), ms).value(0).bytes;
    QCOMPARE(raw(status), 70000 - 38485);
    QVERIFY(!radar.tracking());
    QCOMPARE(radar.respond(radarCommandFrame(radar_wire::kTrack), ms).value(0).bytes.mid(0, 3).toHex(),
        QByteArray("55aa03"));
    QVERIFY(radar.tracking());
}

void TstSimulatedRadar::monitoringData()
{
    RadarResponder radar;
    const qint64 ms = 100000;
    const QByteArray spectrum
        = radar.respond(radarCommandFrame(radar_wire::kMonitoring, 0x10), ms).value(0).bytes;
    QCOMPARE(spectrum.size(), 4352);
    QVERIFY(blockChecksumsHold(spectrum));
    QCOMPARE(quint8(spectrum[0]), quint8(0x3C));
    QCOMPARE(quint8(spectrum[63 * 68 + 3]), quint8(0x00));
    QCOMPARE(quint8(spectrum[62 * 68 + 3]), quint8(0x40));
    const QByteArray bins = radar.spectrumPayload(ms);
    const int peak = radar.peakBin(ms);
    QCOMPARE(peak, 180); // 3.6 m at 100 s, 2 cm a bin
    for (int k = 8; k < bins.size(); ++k) {
        if (std::abs(k - peak) > 0)
            QVERIFY2(quint8(bins[k]) < quint8(bins[peak]), qPrintable(QString::number(k)));
    }

    const QByteArray time
        = radar.respond(radarCommandFrame(radar_wire::kMonitoring, 0x04), ms).value(0).bytes;
    QCOMPARE(time.size(), 15980);
    QVERIFY(blockChecksumsHold(time));
    QCOMPARE(quint8(time[0]), quint8(0xC3));
    // An echo whose frequency follows the distance: rising crossings of the middle, one per cycle.
    const QByteArray samples = radar.timeDomainPayload(ms);
    int crossings = 0;
    int previous = 0;
    for (int k = 0; k < samples.size() / 2; ++k) {
        const int v = quint8(samples[2 * k]) << 8 | quint8(samples[2 * k + 1]);
        if (k > 0 && previous < 32768 - 3000 && v >= 32768 - 3000)
            ++crossings;
        previous = v;
    }
    const double cycles = peak * 7520.0 / 8192.0;
    QVERIFY2(std::abs(crossings - cycles) <= 2, qPrintable(QString("%1 vs %2").arg(crossings).arg(cycles)));
    // Asked for neither kind, the sensor says nothing.
    QVERIFY(radar.respond(radarCommandFrame(radar_wire::kMonitoring, 0x00), ms).isEmpty());
}

void TstSimulatedRadar::faultKnobs()
{
    RadarResponder radar;
    radar.silentReplies = 2;
    QVERIFY(radar.respond(radarCommandFrame(radar_wire::kStandBy), 0).isEmpty());
    QVERIFY(radar.respond(radarCommandFrame(radar_wire::kStandBy), 0).isEmpty());
    QCOMPARE(radar.respond(radarCommandFrame(radar_wire::kStandBy), 0).size(), 1);

    radar.noiseBefore = QByteArray("\x01\x02", 2);
    radar.shortBy = 3;
    radar.delayMs = 40;
    const RadarReply r = radar.respond(radarCommandFrame(radar_wire::kStandBy), 0).value(0);
    QCOMPARE(r.bytes.toHex(' '), QByteArray("01 02 55 aa 05 00 00 00 00 00 00 00"));
    QCOMPARE(r.delayMs, 40);

    RadarResponder corrupt;
    corrupt.wrongChecksumBlock = 10;
    const QByteArray blocks
        = corrupt.respond(radarCommandFrame(radar_wire::kMonitoring, 0x10), 0).value(0).bytes;
    QVERIFY(!blockChecksumsHold(blocks));
    QVERIFY(blockChecksumsHold(blocks.first(9 * 68)));
    QVERIFY(blockChecksumsHold(blocks.sliced(10 * 68)));
    corrupt.wrongStatusChecksum = true;
    const QByteArray status = corrupt.respond(radarCommandFrame(radar_wire::kSendStatus), 0).value(0).bytes;
    QVERIFY(quint8(status[12]) != radarSum(QByteArrayView(status).first(12)));

    corrupt.silent = true;
    QVERIFY(corrupt.respond(radarCommandFrame(radar_wire::kSendStatus), 0).isEmpty());
}

void TstSimulatedRadar::paceFollowsThePortSettings()
{
    SimulatedLine line;
    QVERIFY(line.isValid());
    QSerialPort port(line.devicePath());
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QCOMPARE(line.charactersPerSecond(), 11520);
    port.setBaudRate(9600);
    QCOMPARE(line.charactersPerSecond(), 960);
}

QTEST_GUILESS_MAIN(TstSimulatedRadar)
#include "tst_simulated_radar.moc"
