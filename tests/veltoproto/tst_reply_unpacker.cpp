#include "common/colors.h"
#include "veltoproto/reply_unpacker.h"
#include "veltoproto/velto_display.h"

#include <QRandomGenerator>
#include <QTest>

using namespace velto;
using namespace velto::veltoproto;

namespace {

// A reply with a correct digit-sum checksum; unitType < 0 gives the single format.
QByteArray reply(char sensorIndex, const QByteArray& command, const QByteArray& value, char status,
    int unitType = -1, const QByteArray& address = "01")
{
    QByteArray body = address + sensorIndex + '2' + QByteArray::number(value.size()).rightJustified(2, '0')
        + command + value + status;
    if (unitType >= 0)
        body += char('0' + unitType);
    int sum = 0;
    for (char c : body)
        sum += (c >= '0' && c <= '9') ? c - '0' : 0;
    Q_ASSERT(sum < 100);
    return '!' + body + QByteArray::number(sum).rightJustified(2, '0') + '\r';
}

const BoxUpdate* find(const QList<BoxUpdate>& boxes, const QString& name)
{
    for (const BoxUpdate& b : boxes)
        if (b.objectName == name)
            return &b;
    return nullptr;
}

// The last update of the box that sets the member, as the window would end up showing it.
template <typename T>
std::optional<T> prop(const QList<BoxUpdate>& boxes, const QString& name, std::optional<T> BoxUpdate::*member)
{
    std::optional<T> out;
    for (const BoxUpdate& b : boxes)
        if (b.objectName == name && b.*member)
            out = b.*member;
    return out;
}

QString textOf(const QList<BoxUpdate>& boxes, const QString& name)
{
    return prop<QString>(boxes, name, &BoxUpdate::text).value_or(QStringLiteral("<none>"));
}

const SensorUnits kMeters { LengthUnit::Meter, LengthUnit::Meter };

} // namespace

class TestReplyUnpacker : public QObject {
    Q_OBJECT
private slots:
    void singleOkReplySwitchesToSingleLayoutInBlue()
    {
        const QByteArray r = reply('0', "01", "500", '0');
        QCOMPARE(r.size(), 16);
        VeltoState state;
        const UnpackResult result = UnpackRecData(r, state);
        QVERIFY(result.accepted);
        QVERIFY(result.stored);
        QCOMPARE(state.sensors[0].distance, 500);
        QCOMPARE(state.layout, Layout::SingleSensor);

        const DisplayUpdate d = displayForRead(result, state, kMeters);
        QCOMPARE(d.layout, Layout::SingleSensor);
        QCOMPARE(textOf(d.boxes, "VeltoDevSta"), QStringLiteral("O.K"));
        QCOMPARE(prop<QColor>(d.boxes, "VeltoDevSta", &BoxUpdate::color), velto::kBlue);
        QCOMPARE(prop<bool>(d.boxes, "VeltoDevSta", &BoxUpdate::bold), true);
        QCOMPARE(textOf(d.boxes, "LabelSensorNo1"), QStringLiteral("Single Sensor"));
        QCOMPARE(prop<int>(d.boxes, "frmVelto", &BoxUpdate::width), kFrameWidthSingle);
        QCOMPARE(prop<int>(d.boxes, "pictTank", &BoxUpdate::left), kTankLeftSingle);
        QCOMPARE(prop<bool>(d.boxes, "TxtVeltoDist2", &BoxUpdate::visible), false);
        QCOMPARE(prop<bool>(d.boxes, "LabelMultiSensor", &BoxUpdate::visible), false);
        QCOMPARE(textOf(d.boxes, "TxtVeltoDist"), QStringLiteral("0.5"));
        QCOMPARE(textOf(d.boxes, "labelVeltoDist"), QStringLiteral("meter"));
    }

    void secondSensorOfTwoSensorUnit()
    {
        const QByteArray r = reply('1', "09", "001234", '1', 8);
        QCOMPARE(r.size(), 20);
        VeltoState state;
        const UnpackResult result = UnpackRecData(r, state);
        QVERIFY(result.stored);
        QCOMPARE(state.sensors[1].level, 1234);
        QCOMPARE(state.sensors[0].level, 0);
        QCOMPARE(state.replyUnitType, quint8(8));

        const DisplayUpdate d = displayForRead(result, state, kMeters);
        QCOMPARE(d.layout, Layout::TwoSensors);
        QCOMPARE(prop<bool>(d.boxes, "TxtVeltoDist2", &BoxUpdate::visible), true);
        QCOMPARE(prop<bool>(d.boxes, "MeasurementUnitCombo2", &BoxUpdate::visible), true);
        QCOMPARE(textOf(d.boxes, "LabelSensorNo1"), QStringLiteral("Sensor No. 1"));
        QCOMPARE(prop<int>(d.boxes, "frmVelto", &BoxUpdate::width), kFrameWidthTwoSensors);
        QCOMPARE(prop<int>(d.boxes, "pictTank", &BoxUpdate::left), kTankLeftTwoSensors);
        QCOMPARE(textOf(d.boxes, "VeltoDevSta2"), QStringLiteral("Full"));
        QCOMPARE(prop<QColor>(d.boxes, "VeltoDevSta2", &BoxUpdate::color), velto::kRed);
        QVERIFY(!find(d.boxes, "VeltoDevSta"));
        QCOMPARE(textOf(d.boxes, "TextVeltoLevel2"), QStringLiteral("1.234"));
    }

    void firstSensorOfTwoSensorUnitKeepsLayout()
    {
        VeltoState state;
        UnpackRecData(reply('1', "01", "100", '0', 8), state);
        const UnpackResult result = UnpackRecData(reply('0', "06", "002000", '8', 8), state);
        QVERIFY(result.stored);
        QVERIFY(!result.layout);
        QCOMPARE(state.layout, Layout::TwoSensors);
        QCOMPARE(state.sensors[0].tankHeight, 2000);
        const DisplayUpdate d = displayForRead(result, state, kMeters);
        QCOMPARE(textOf(d.boxes, "VeltoDevSta"), QStringLiteral("No Echo"));
        QCOMPARE(prop<int>(d.boxes, "pictTank", &BoxUpdate::left), kTankLeftTwoSensors);
        QVERIFY(!find(d.boxes, "frmVelto"));
    }

    // Each must leave the state exactly as it was.
    void rejectedRepliesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray offByOne = reply('0', "01", "500", '2');
        offByOne[offByOne.size() - 2] = offByOne[offByOne.size() - 2] + 1;
        QTest::newRow("checksum one off") << offByOne;
        QByteArray protocol = reply('0', "01", "500", '0');
        protocol[4] = '3';
        protocol[13] = protocol[13] + 1; // keep the digit sum right
        QTest::newRow("protocol digit 3") << protocol;
        QTest::newRow("no start") << reply('0', "01", "500", '0').replace('!', '?');
        QTest::newRow("no carriage return") << reply('0', "01", "500", '0').chopped(1) + '\n';
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << QByteArray("!");
        QTest::newRow("temperature 300") << reply('0', "04", "300", '0');
        QTest::newRow("temperature -1") << reply('0', "04", "-01", '0');
        QTest::newRow("value not a number") << reply('0', "01", "5x0", '0');
        QTest::newRow("status not a digit") << reply('0', "01", "500", 'x');
        // L = 6 in a 16-character frame would reach into the checksum.
        QByteArray longL = reply('0', "01", "500", '0');
        longL[6] = '6';
        longL[13] = longL[13] + 3;
        QTest::newRow("L beyond the frame") << longL;
    }
    void rejectedRepliesChangeNothing()
    {
        QFETCH(QByteArray, bytes);
        VeltoState state;
        UnpackRecData(reply('1', "01", "000777", '4', 8), state);
        const VeltoState before = state;
        const UnpackResult result = UnpackRecData(bytes, state);
        QVERIFY(!result.applied);
        QVERIFY(state == before);
        // Only the value refresh of the kept sensor remains: no layout, no status.
        const DisplayUpdate d = displayForRead(result, state, kMeters);
        QVERIFY(!d.layout);
        QVERIFY(!find(d.boxes, "VeltoDevSta2"));
        QVERIFY(!find(d.boxes, "pictTank"));
        QCOMPARE(textOf(d.boxes, "TxtVeltoDist2"), QStringLiteral("0.777"));
    }

    void oddLengthFrameReappliesLastStatus()
    {
        VeltoState state;
        QVERIFY(UnpackRecData(reply('0', "01", "500", '2'), state).accepted);
        const VeltoState before = state;
        const QByteArray odd = "!01020301500000\r\n\r"; // 18 characters, "!" ... CR
        QCOMPARE(odd.size(), 18);
        const UnpackResult result = UnpackRecData(odd, state);
        QVERIFY(result.applied);
        QVERIFY(!result.accepted);
        QVERIFY(!result.stored);
        QVERIFY(state == before);
        const DisplayUpdate d = displayForRead(result, state, kMeters);
        QCOMPARE(textOf(d.boxes, "VeltoDevSta"), QStringLiteral("Empty"));
        QCOMPARE(d.layout, Layout::SingleSensor);
        // The panel steps ran, but this read was no reply: it must not count as an answer.
        QVERIFY(d.applied);
        QVERIFY(!d.accepted);
        QVERIFY(displayForRead(UnpackRecData(reply('0', "01", "500", '2'), state), state, kMeters).accepted);
    }

    // A late reply read together with the next one fails the length test.
    void gluedRepliesStoreNothing()
    {
        VeltoState state;
        QVERIFY(UnpackRecData(reply('0', "01", "500", '4'), state).accepted);
        const VeltoState before = state;
        const UnpackResult result
            = UnpackRecData(reply('0', "01", "700", '0') + reply('0', "06", "900", '0'), state);
        QVERIFY(!result.accepted);
        QVERIFY(!result.stored);
        QVERIFY(state == before);
        QCOMPARE(
            textOf(displayForRead(result, state, kMeters).boxes, "VeltoDevSta"), QStringLiteral("Noise"));
    }

    // Before any accepted reply there is no status to re-apply: "O.K" would claim a device answered.
    void oddLengthFrameBeforeAnyReplyShowsNoStatus()
    {
        VeltoState state;
        const UnpackResult result = UnpackRecData(QByteArrayView("!01020301500000\r\n\r"), state);
        QVERIFY(!result.applied);
        QVERIFY(!find(displayForRead(result, state, kMeters).boxes, "VeltoDevSta"));
    }

    void unknownCommandAndStatusDigit()
    {
        VeltoState state;
        UnpackRecData(reply('0', "01", "500", '0'), state);
        const UnpackResult result = UnpackRecData(reply('0', "03", "123", '3'), state);
        QVERIFY(result.accepted);
        QVERIFY(!result.stored);
        QCOMPARE(state.sensors[0].distance, 500);
        QCOMPARE(state.replyStatus, quint8(3));
        QCOMPARE(state.shownStatus[0], std::optional<quint8>(0));
        QVERIFY(!find(displayForRead(result, state, kMeters).boxes, "VeltoDevSta"));
    }

    void singleFormatFromSensorIndexOneStoresNothing()
    {
        VeltoState state;
        const UnpackResult result = UnpackRecData(reply('1', "01", "500", '0'), state);
        QVERIFY(result.accepted);
        QVERIFY(!result.stored);
        QVERIFY(!result.layout);
        QCOMPARE(state.sensors[1].distance, 0);
    }

    void temperatureStored()
    {
        VeltoState state;
        QVERIFY(UnpackRecData(reply('0', "04", "025", '0'), state).stored);
        QCOMPARE(state.sensors[0].temperature, quint8(25));
        const QList<BoxUpdate> boxes = sensorValueUpdates(state, 0, LengthUnit::Inch);
        QCOMPARE(textOf(boxes, "TextVeltoTemp"), QStringLiteral("25"));
        QCOMPARE(textOf(boxes, "LabelVeltoTemp"), QStringLiteral("Celsius"));
    }

    // The parser must survive any bytes the line delivers (ASan watches the reads).
    void arbitraryBytesNeverCrash()
    {
        QRandomGenerator rng(20240611);
        const QByteArray alphabet = "!\r0123456789-+ 2x";
        for (int i = 0; i < 20000; ++i) {
            QByteArray bytes(rng.bounded(0, 24), '\0');
            for (char& c : bytes)
                c = alphabet[rng.bounded(alphabet.size())];
            if (rng.bounded(2)) {
                bytes.prepend('!');
                bytes.append('\r');
            }
            VeltoState state;
            UnpackRecData(QByteArrayView(bytes.constData(), bytes.size()), state);
        }
    }

    void lengths_data()
    {
        QTest::addColumn<int>("millimetres");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1000 mm in inches") << 1000 << "Inch"
                                           << "39.370";
        QTest::newRow("1000 mm in metres") << 1000 << "Meter"
                                           << "1";
        QTest::newRow("1234 mm in metres") << 1234 << "Meter"
                                           << "1.234";
        QTest::newRow("negative metres") << -500 << "Meter"
                                         << "-0.5";
        QTest::newRow("1000 mm in feet") << 1000 << "Feet"
                                         << "3.281";
        QTest::newRow("no leading zero") << 10 << "Inch"
                                         << ".394";
        QTest::newRow("zero inches") << 0 << "Inch"
                                     << ".000";
        QTest::newRow("negative feet") << -100 << "Feet"
                                       << "-.328";
        QTest::newRow("many inches") << 999999 << "Inch"
                                     << "39369.961";
    }
    void lengths()
    {
        QFETCH(int, millimetres);
        QFETCH(QString, unit);
        QFETCH(QString, shown);
        const auto u = lengthUnitFromText(unit);
        QVERIFY(u);
        QCOMPARE(formatLength(millimetres, *u), shown);
    }

    void unknownUnitLeavesLengthBoxes()
    {
        VeltoState state;
        QVERIFY(!lengthUnitFromText(u"meter"));
        const QList<BoxUpdate> boxes = sensorValueUpdates(state, 1, std::nullopt);
        QVERIFY(!find(boxes, "TxtVeltoDist2"));
        QVERIFY(find(boxes, "TextVeltoTemp2"));
    }

    void nameTextLine()
    {
        VeltoState state;
        UnpackRecData(reply('0', "01", "500", '8'), state);
        UnpackRecData(reply('0', "04", "021", '8'), state);
        const QString line = formatBoxUpdates(panelSnapshot(state, { LengthUnit::Inch, LengthUnit::Meter }));
        QVERIFY(line.contains(QStringLiteral("LabelSensorNo1=\"Single Sensor\"")));
        QVERIFY(line.contains(QStringLiteral("VeltoDevSta=\"No Echo\"")));
        QVERIFY(line.contains(QStringLiteral("TxtVeltoDist=19.685 labelVeltoDist=inch")));
        QVERIFY(line.contains(QStringLiteral("TextVeltoTemp=21 ")));
        QVERIFY(!line.contains(QStringLiteral("TxtVeltoDist2")));
        QVERIFY(!line.contains(QStringLiteral("frmVelto")));
        QVERIFY(!line.contains(QLatin1Char('\n')));

        BoxUpdate odd;
        odd.objectName = QStringLiteral("X");
        odd.text = QStringLiteral("a\"b");
        BoxUpdate empty;
        empty.objectName = QStringLiteral("Y");
        empty.text = QString();
        QCOMPARE(formatBoxUpdates({ odd, empty }), QStringLiteral("X=\"a\\\"b\" Y=\"\""));
    }
};

QTEST_GUILESS_MAIN(TestReplyUnpacker)
#include "tst_reply_unpacker.moc"
