// What the polls put into the trend: the readings of each mode with their names and units, failed
// polls as failures of the series they would have fed, and the data file written from them.
#include "modbus/multi_device_poller.h"
#include "modbus/single_sensor_poller.h"
#include "sim/manual_clock.h"
#include "sim/velto_ascii.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "trend/poll_feed.h"
#include "trend/trend_export.h"
#include "veltoproto/velto_poller.h"

#include <QBuffer>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using namespace velto::trend;
using veltoproto::LengthUnit;
using veltoproto::VeltoCommand;

namespace {

QList<quint16> dynamicWords(quint16 distance, quint16 level, quint16 temperature, quint32 flow = 0)
{
    return { 7, distance, level, temperature, 1, 0, quint16(flow & 0xFFFF), quint16(flow >> 16) };
}

QStringList labels(const QList<Reading>& readings)
{
    QStringList out;
    for (const Reading& r : readings)
        out << r.series.label();
    return out;
}

QList<std::optional<double>> values(const QList<Reading>& readings)
{
    QList<std::optional<double>> out;
    for (const Reading& r : readings)
        out << r.value;
    return out;
}

// The sensor's panel as the simulator fills it: unit and mode by the static group, then the dynamic one.
struct SensorRig {
    test::FakeModbusMaster master;
    modbus::SingleSensorPoller poller { master };
    sim::ManualClock clock { 1000 };
    TrendStore store;
    PollFeed feed { store, clock };
    SensorRig() { feed.watch(poller); }

    void read(const QList<quint16>& staticWords, const modbus::ModbusResult& dynamic)
    {
        master.scripted.enqueue(test::FakeModbusMaster::ok(staticWords));
        master.scripted.enqueue(dynamic);
        master.scripted.enqueue(test::FakeModbusMaster::ok());
        for (int group = 0; group < 3; ++group) {
            QSignalSpy counted(&poller, &modbus::SingleSensorPoller::countersChanged);
            poller.tick();
            QVERIFY(counted.wait());
        }
        clock.advance(1000);
    }
};

QList<quint16> staticWords(quint16 unit, quint16 mode)
{
    QList<quint16> words(16, 0);
    words[58 - 51] = unit;
    words[56 - 51] = mode;
    return words;
}

} // namespace

Q_DECLARE_METATYPE(QList<quint16>)

class TestPollFeed : public QObject {
    Q_OBJECT

private slots:
    void sensorReadings_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QList<quint16>>("words");
        QTest::addColumn<QStringList>("series");
        QTest::addColumn<QList<std::optional<double>>>("expected");
        QTest::newRow("metres") << "METER"
                                << "Level" << dynamicWords(1234, 65000, 2150)
                                << QStringList { "ID 3 Distance (meter)", "ID 3 Level (meter)",
                                       "ID 3 Temperature (°C)" }
                                << QList<std::optional<double>> { 1.234, 65.0, 21.5 };
        QTest::newRow("feet, below zero")
            << "FEET"
            << "Distance" << dynamicWords(150, 0xFFF6, 0xFF9C)
            << QStringList { "ID 3 Distance (feet)", "ID 3 Level (feet)", "ID 3 Temperature (°C)" }
            << QList<std::optional<double>> { 15.0, -1.0, -1.0 };
        QTest::newRow("flow") << "M3/HR"
                              << "Flow" << dynamicWords(0, 0, 0, 1234)
                              << QStringList { "ID 3 Distance (meter)", "ID 3 Level (meter)",
                                     "ID 3 Temperature (°C)", "ID 3 Flow (M3/Hr)" }
                              << QList<std::optional<double>> { 0.0, 0.0, 0.0, 123.4 };
        QTest::newRow("volume, a big one") << "INCH"
                                           << "Volume" << dynamicWords(40, 0, 0, 4000000000u)
                                           << QStringList { "ID 3 Distance (inch)", "ID 3 Level (inch)",
                                                  "ID 3 Temperature (°C)", "ID 3 Volume" }
                                           << QList<std::optional<double>> { 40.0, 0.0, 0.0, 400000000.0 };
        QTest::newRow("unit not yet read")
            << ""
            << "" << dynamicWords(1, 2, 300) << QStringList { "ID 3 Temperature (°C)" }
            << QList<std::optional<double>> { 3.0 };
        QTest::newRow("failed: the same series, no values")
            << "METER"
            << "Level" << QList<quint16>()
            << QStringList { "ID 3 Distance (meter)", "ID 3 Level (meter)", "ID 3 Temperature (°C)" }
            << QList<std::optional<double>> { std::nullopt, std::nullopt, std::nullopt };
    }
    void sensorReadings()
    {
        QFETCH(QString, unit);
        QFETCH(QString, mode);
        QFETCH(QList<quint16>, words);
        QFETCH(QStringList, series);
        QFETCH(QList<std::optional<double>>, expected);
        const QList<Reading> readings = trend::sensorReadings(3, words, unit, mode);
        QCOMPARE(labels(readings), series);
        QCOMPARE(values(readings), expected);
    }

    void deviceAndVeltoReadings()
    {
        const QList<Reading> device = deviceReadings(2, 17, { 17, 0xFFFE, 3, 4, 5, 6, 7, 8 });
        QCOMPARE(device.size(), 8);
        QCOMPARE(device[1].series, (SeriesInfo { "Device 2 (ID 17) R1", "raw", "R1" }));
        QCOMPARE(device[1].value, std::optional<double>(-2));
        QCOMPARE(deviceReadings(2, 17, {})[7].value, std::nullopt);

        Reading r = veltoReading(5, 1, VeltoCommand::Distance, 1000, LengthUnit::Inch);
        QCOMPARE(r.series.label(), QString("Address 5 Sensor 2 Distance (inch)"));
        QCOMPARE(*r.value, 39.37);
        r = veltoReading(5, 0, VeltoCommand::TankHeight, 2500, LengthUnit::Meter);
        QCOMPARE(r.series.label(), QString("Address 5 Sensor 1 Tank Height (meter)"));
        QCOMPARE(*r.value, 2.5);
        r = veltoReading(5, 0, VeltoCommand::Temperature, std::nullopt, LengthUnit::Feet);
        QCOMPARE(r.series.label(), QString("Address 5 Sensor 1 Temperature (°C)"));
        QVERIFY(!r.value);
    }

    // Through the single-sensor cycle: a read, a time-out and a read again put a value, a failure
    // and a value into each series; the end of polling breaks them without a failure.
    void feedFromTheSensorCycle()
    {
        SensorRig rig;
        rig.read(staticWords(0, 1), test::FakeModbusMaster::ok(dynamicWords(1500, 2500, 2000)));
        rig.read(staticWords(0, 1), test::FakeModbusMaster::timeout());
        rig.read(staticWords(0, 1), test::FakeModbusMaster::ok(dynamicWords(1600, 2400, 2010)));
        rig.feed.pollingStopped();
        QCOMPARE(rig.store.seriesCount(), 3);
        const SampleSeries& level = rig.store.samples(rig.store.indexOf({ "ID 1 Level", "meter", {} }));
        QCOMPARE(level.size(), 4);
        const qint64 start = level.at(0).timeMs;
        QCOMPARE(level.at(0), (Sample { start, 2.5, SampleKind::Value }));
        QCOMPARE(level.at(1), (Sample { start + 1000, 0, SampleKind::Failed }));
        QCOMPARE(level.at(2), (Sample { start + 2000, 2.4, SampleKind::Value }));
        QCOMPARE(level.at(3).kind, SampleKind::Break);

        QBuffer csv;
        csv.open(QIODevice::WriteOnly);
        QVERIFY(
            writeCsv(csv, rig.store, { rig.store.indexOf({ "ID 1 Level", "meter", {} }) }, QTimeZone::utc()));
        // A failed poll is a row without a value; the end of polling is no row.
        const QStringList rows = QString::fromUtf8(csv.data()).split('\n');
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0], QString("time,series,value"));
        QVERIFY(rows[1].endsWith("Z,ID 1 Level (meter),2.5"));
        QVERIFY(rows[2].endsWith("Z,ID 1 Level (meter),"));
        QVERIFY(rows[3].endsWith("Z,ID 1 Level (meter),2.4"));
        QCOMPARE(rows[4], QString());
    }

    void feedFromTheDevices()
    {
        test::FakeModbusMaster master;
        modbus::MultiDevicePoller poller(master);
        poller.setNumberOfDevices(2);
        sim::ManualClock clock;
        TrendStore store;
        PollFeed feed(store, clock);
        feed.watch(poller);
        master.scripted.enqueue(test::FakeModbusMaster::ok({ 2, 10, 20, 30, 40, 50, 60, 70 }));
        master.scripted.enqueue(test::FakeModbusMaster::timeout());
        for (int i = 0; i < 2; ++i) {
            QSignalSpy read(&poller, &modbus::MultiDevicePoller::deviceRead);
            poller.tick();
            QVERIFY(read.wait());
        }
        QCOMPARE(store.seriesCount(), 16);
        const SampleSeries& second = store.samples(store.indexOf({ "Device 2 (ID 2) R1", "raw", "R1" }));
        QCOMPARE(second.at(0).value, 10.0);
        const SampleSeries& first = store.samples(store.indexOf({ "Device 1 (ID 1) R1", "raw", "R1" }));
        QCOMPARE(first.at(0).kind, SampleKind::Failed);
    }

    // One Velto tick of a two-sensor unit: each answered request a value of the sensor that
    // answered; an unanswered one a failure of the sensor it asked for, once the unit is known to
    // have two.
    void feedFromTheVeltoTick()
    {
        constexpr int kIdleMs = 3600 * 1000;
        test::FakeByteLink link;
        link.open("sim", "9600,n,8,1");
        veltoproto::VeltoPoller poller(link);
        poller.setProtocolMode(true);
        poller.setAddress(20);
        poller.start();
        poller.tickTimer().setInterval(kIdleMs);
        poller.replyTimer().setInterval(kIdleMs);
        sim::ManualClock clock;
        TrendStore store;
        PollFeed feed(store, clock);
        feed.watch(poller);

        poller.tick(); // distance of sensor 1, tank height of 2, temperature of 1, level of 2
        link.receive(sim::buildVeltoReply({ 20, 0, 1, 1500, 0, true }));
        poller.replyWaitOver();
        link.receive(sim::buildVeltoReply({ 20, 1, 6, 3000, 0, true }));
        poller.replyWaitOver();
        poller.replyWaitOver();
        // A late answer to the temperature is no level.
        link.receive(sim::buildVeltoReply({ 20, 0, 4, 21, 0, true }));
        poller.replyWaitOver();
        QVERIFY(!poller.tickInProgress());

        auto only = [&](const SeriesInfo& info) {
            const int index = store.indexOf(info);
            return index >= 0 && store.samples(index).size() == 1
                ? std::optional<Sample>(store.samples(index).at(0))
                : std::nullopt;
        };
        QCOMPARE(store.seriesCount(), 4);
        QCOMPARE(only({ "Address 20 Sensor 1 Distance", "meter", {} })->value, 1.5);
        QCOMPARE(only({ "Address 20 Sensor 2 Tank Height", "meter", {} })->value, 3.0);
        QCOMPARE(only({ "Address 20 Sensor 1 Temperature", "°C", {} })->kind, SampleKind::Failed);
        QCOMPARE(only({ "Address 20 Sensor 2 Level", "meter", {} })->kind, SampleKind::Failed);
    }

    // Whole or not at all: a folder in the file's place leaves nothing and says why.
    void dataFileFaults()
    {
        QTemporaryDir dir;
        TrendStore store;
        store.appendValue({ "ID 1 Level", "meter", {} }, 0, 1);
        const QString path = dir.filePath("trend.csv");
        QCOMPARE(saveCsv(path, store, { 0 }, QTimeZone::utc()), std::nullopt);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(
            file.readAll(), QByteArray("time,series,value\n1970-01-01T00:00:00.000Z,ID 1 Level (meter),1\n"));
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        const auto error = saveCsv(dir.filePath("folder"), store, { 0 }, QTimeZone::utc());
        QVERIFY(error && error->startsWith("Could not write"));
        QVERIFY(savePicture(dir.filePath("folder"), QImage(10, 10, QImage::Format_RGB32)).has_value());
    }
};

QTEST_MAIN(TestPollFeed)
#include "tst_poll_feed.moc"
