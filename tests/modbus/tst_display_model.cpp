#include "common/colors.h"
#include "modbus/display_model.h"

#include <QTest>

using namespace velto;
using namespace velto::modbus;

namespace {

// Static group words R51..R66 with the given overrides, everything else 0.
QList<quint16> staticWords(std::initializer_list<std::pair<int, quint16>> regs)
{
    QList<quint16> words(kStaticGroup.count, 0);
    for (const auto& [reg, value] : regs)
        words[reg - kStaticGroup.start] = value;
    return words;
}

QList<quint16> dynamicWords(std::initializer_list<std::pair<int, quint16>> regs)
{
    QList<quint16> words(kDynamicGroup.count, 0);
    for (const auto& [reg, value] : regs)
        words[reg] = value;
    return words;
}

// The last update of each box, as the window would end up showing it.
QMap<QString, BoxUpdate> byName(const QList<BoxUpdate>& updates)
{
    QMap<QString, BoxUpdate> map;
    for (const auto& u : updates) {
        BoxUpdate& merged = map[u.objectName];
        merged.objectName = u.objectName;
        if (u.text)
            merged.text = u.text;
        if (u.bold)
            merged.bold = u.bold;
        if (u.color)
            merged.color = u.color;
        if (u.visible)
            merged.visible = u.visible;
    }
    return map;
}

QString textOf(const QList<BoxUpdate>& updates, const QString& name)
{
    const auto map = byName(updates);
    return map.contains(name) && map[name].text ? *map[name].text : QStringLiteral("<unset>");
}

constexpr quint16 kUnitMeter = 0, kUnitInch = 1, kUnitFeet = 2, kUnitM3 = 3, kUnitGpm = 4;
constexpr quint16 kModeFlowCode = 3, kModeVolumeCode = 6;

} // namespace

class TestDisplayModel : public QObject {
    Q_OBJECT

private slots:
    void staticLengths_data();
    void staticLengths();
    void staticOrderFollowsTheWindow();
    void currentPointsUseTheModeShownBefore_data();
    void currentPointsUseTheModeShownBefore();
    void indicationModeShowsOrHidesFlowBoxes_data();
    void indicationModeShowsOrHidesFlowBoxes();
    void sbdAndInterference();
    void unknownUnitLeavesScaledValues();
    void dynamicReadings();
    void relays();
    void flowValue_data();
    void flowValue();
    void information_data();
    void information();
    void shortWordListChangesNothing();
    void readingsResetForgetsUnitAndMode();
    void cliLine();
};

void TestDisplayModel::staticLengths_data()
{
    QTest::addColumn<quint16>("unitCode");
    QTest::addColumn<quint16>("tankHeight");
    QTest::addColumn<QString>("unitText");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("label");
    QTest::newRow("feet") << kUnitFeet << quint16(150) << "FEET"
                          << "15"
                          << "feet";
    QTest::newRow("metre, word above 32767") << kUnitMeter << quint16(0xFFFE) << "METER"
                                             << "65.534"
                                             << "meter";
    QTest::newRow("inch signed") << kUnitInch << quint16(0xFFFE) << "INCH"
                                 << "-2"
                                 << "inch";
    QTest::newRow("m3/h scales as metre") << kUnitM3 << quint16(1500) << "M3/HR"
                                          << "1.5"
                                          << "meter";
    QTest::newRow("gpm as inch") << kUnitGpm << quint16(42) << "G.P.M"
                                 << "42"
                                 << "inch";
}

void TestDisplayModel::staticLengths()
{
    QFETCH(quint16, unitCode);
    QFETCH(quint16, tankHeight);
    QFETCH(QString, unitText);
    QFETCH(QString, height);
    QFETCH(QString, label);
    DisplayModel model;
    const auto updates = model.decodeStatic(staticWords({ { 58, unitCode }, { 51, tankHeight } }));
    QCOMPARE(textOf(updates, "IrMeasurementUnit"), unitText);
    QCOMPARE(textOf(updates, "IrTankHeight"), height);
    QCOMPARE(textOf(updates, "LabelTankHeight"), label);
    QCOMPARE(model.unitText(), unitText);
}

void TestDisplayModel::staticOrderFollowsTheWindow()
{
    DisplayModel model;
    const auto updates
        = model.decodeStatic(staticWords({ { 58, kUnitMeter }, { 56, 1 }, { 57, 10 }, { 59, 20 } }));
    QStringList names;
    for (const auto& u : updates)
        names << u.objectName;
    const QStringList firstNames = names.mid(0, 12);
    QCOMPARE(firstNames,
        QStringList({ "IrMeasurementUnit", "IrTankHeight", "LabelTankHeight", "Current4mAText",
            "Current4mALabel", "Current20mAText", "Current20mALabel", "IndicationModeText",
            "Vol_Flow_Tot_Ind_Label", "Vol_Flow_Tot_Value_Text", "Vol_Flow_Tot_Unit_Label", "SbdText" }));
    QCOMPARE(names.last(), QStringLiteral("Interference8UnitLabel"));
    QCOMPARE(names.indexOf("Interference1Text"), names.indexOf("SbdLabelUnit") + 1);
}

void TestDisplayModel::currentPointsUseTheModeShownBefore_data()
{
    QTest::addColumn<QString>("modeBefore");
    QTest::addColumn<quint16>("unitCode");
    QTest::addColumn<QString>("text4mA");
    QTest::addColumn<QString>("text20mA");
    QTest::addColumn<QString>("label");
    // R52..R53 = 0x0001_0002 (65538), R54..R55 = 0x0000_07D0 (2000).
    QTest::newRow("metre, level") << "Level" << kUnitMeter << "0.002"
                                  << "2"
                                  << "meter";
    QTest::newRow("feet, level") << "Level" << kUnitFeet << "0.2"
                                 << "200"
                                 << "feet";
    QTest::newRow("metre, volume: 32-bit") << "Volume" << kUnitMeter << "65538"
                                           << "2000"
                                           << "";
    QTest::newRow("m3/h: 32-bit") << "Flow" << kUnitM3 << "65538"
                                  << "2000"
                                  << "M3/Hr";
    QTest::newRow("gpm: 32-bit") << "Level" << kUnitGpm << "65538"
                                 << "2000"
                                 << "G.P.M";
    QTest::newRow("m3/h in volume: no label") << "Volume" << kUnitM3 << "65538"
                                              << "2000"
                                              << "";
}

void TestDisplayModel::currentPointsUseTheModeShownBefore()
{
    QFETCH(QString, modeBefore);
    QFETCH(quint16, unitCode);
    QFETCH(QString, text4mA);
    QFETCH(QString, text20mA);
    QFETCH(QString, label);
    DisplayModel model;
    model.setIndicationModeText(modeBefore);
    // The read itself switches to "Distance", which must only take effect for the next read.
    const auto updates = model.decodeStatic(
        staticWords({ { 58, unitCode }, { 52, 2 }, { 53, 1 }, { 54, 2000 }, { 55, 0 }, { 56, 0 } }));
    QCOMPARE(textOf(updates, "Current4mAText"), text4mA);
    QCOMPARE(textOf(updates, "Current20mAText"), text20mA);
    QCOMPARE(textOf(updates, "Current4mALabel"), label);
    QCOMPARE(textOf(updates, "Current20mALabel"), label);
    QCOMPARE(model.indicationModeText(), QStringLiteral("Distance"));
}

void TestDisplayModel::indicationModeShowsOrHidesFlowBoxes_data()
{
    QTest::addColumn<quint16>("code");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("visible"); // -1: no change
    QTest::newRow("distance") << quint16(0) << "Distance" << 0;
    QTest::newRow("level") << quint16(1) << "Level" << 0;
    QTest::newRow("flow") << quint16(3) << "Flow" << 1;
    QTest::newRow("totalization") << quint16(5) << "Totalization" << 1;
    QTest::newRow("volume") << quint16(6) << "Volume" << 1;
    QTest::newRow("unknown code keeps all") << quint16(2) << "Level" << -1;
}

void TestDisplayModel::indicationModeShowsOrHidesFlowBoxes()
{
    QFETCH(quint16, code);
    QFETCH(QString, mode);
    QFETCH(int, visible);
    DisplayModel model;
    model.setIndicationModeText("Level");
    const auto map = byName(model.decodeStatic(staticWords({ { 56, code } })));
    QCOMPARE(model.indicationModeText(), mode);
    for (const char* box :
        { "Vol_Flow_Tot_Ind_Label", "Vol_Flow_Tot_Value_Text", "Vol_Flow_Tot_Unit_Label" }) {
        if (visible < 0) {
            QVERIFY(!map.contains(box));
        } else {
            QVERIFY(map.contains(box));
            QCOMPARE(map[box].visible, std::optional<bool>(visible == 1));
        }
    }
    QCOMPARE(map.contains("IndicationModeText"), visible >= 0);
}

void TestDisplayModel::sbdAndInterference()
{
    DisplayModel model;
    const auto map = byName(model.decodeStatic(
        staticWords({ { 58, kUnitMeter }, { 57, 0xFFFE }, { 59, 0 }, { 60, 1500 }, { 66, 0xFFFF } })));
    QCOMPARE(map["SbdText"].text, std::optional<QString>("-0.002")); // signed, unlike lengths
    QCOMPARE(map["SbdText"].bold, std::optional<bool>(false));
    QCOMPARE(map["SbdLabelUnit"].text, std::optional<QString>("meter"));

    QCOMPARE(map["Interference1Text"].text, std::optional<QString>("N/A"));
    QCOMPARE(map["Interference1Text"].bold, std::optional<bool>(true));
    QCOMPARE(map["Interference1UnitLabel"].text, std::optional<QString>(""));
    QCOMPARE(map["Interference2Text"].text, std::optional<QString>("1.5"));
    QCOMPARE(map["Interference2Text"].bold, std::optional<bool>(false));
    QCOMPARE(map["Interference2UnitLabel"].text, std::optional<QString>("meter"));
    QCOMPARE(map["Interference8Text"].text, std::optional<QString>("-0.001"));

    const auto zeroSbd = byName(model.decodeStatic(staticWords({ { 58, kUnitFeet }, { 57, 0 } })));
    QCOMPARE(zeroSbd["SbdText"].text, std::optional<QString>("0"));
    QCOMPARE(zeroSbd["SbdLabelUnit"].text, std::optional<QString>(""));
}

void TestDisplayModel::unknownUnitLeavesScaledValues()
{
    DisplayModel model;
    const auto staticMap
        = byName(model.decodeStatic(staticWords({ { 58, 9 }, { 51, 100 }, { 57, 5 }, { 59, 0 } })));
    QVERIFY(!staticMap.contains("IrMeasurementUnit"));
    QVERIFY(!staticMap.contains("IrTankHeight"));
    QVERIFY(!staticMap.contains("Current4mAText"));
    QVERIFY(!staticMap.contains("SbdText")); // non-zero needs a unit
    QCOMPARE(staticMap["Interference1Text"].text, std::optional<QString>("N/A"));

    const auto dynamicMap = byName(model.decodeDynamic(dynamicWords({ { 0, 1 }, { 1, 100 }, { 2, 200 } })));
    QVERIFY(!dynamicMap.contains("IrDistance"));
    QVERIFY(!dynamicMap.contains("IrLevel"));
    QCOMPARE(dynamicMap["DeviceAddText"].text, std::optional<QString>("1"));

    // A known unit stays when a later read carries an invalid code.
    model.decodeStatic(staticWords({ { 58, kUnitFeet } }));
    model.decodeStatic(staticWords({ { 58, 77 } }));
    QCOMPARE(model.unitText(), QStringLiteral("FEET"));
}

void TestDisplayModel::dynamicReadings()
{
    DisplayModel model;
    model.setUnitText("METER");
    const auto map = byName(model.decodeDynamic(
        dynamicWords({ { 0, 17 }, { 1, 0xFFFE }, { 2, 1200 }, { 3, quint16(-1234) }, { 4, 3 } })));
    QCOMPARE(map["DeviceAddText"].text, std::optional<QString>("17"));
    QCOMPARE(map["IrDistance"].text, std::optional<QString>("65.534"));
    QCOMPARE(map["LabelDist"].text, std::optional<QString>("meter"));
    QCOMPARE(map["IrLevel"].text, std::optional<QString>("1.2"));
    QCOMPARE(map["LabelLevel"].text, std::optional<QString>("meter"));
    QCOMPARE(map["IrTemperature"].text, std::optional<QString>("-12.34"));
    QCOMPARE(map["LabelModBusTemp"].text, std::optional<QString>("Celsious "));
    QCOMPARE(map["ErrorStatusText"].text, std::optional<QString>("-Full--OK-"));
    QCOMPARE(map["ErrorStatusText"].bold, std::optional<bool>(true));
    QCOMPARE(map["ErrorStatusText"].color, std::optional<QColor>(velto::kBlue));

    const auto none = byName(model.decodeDynamic(dynamicWords({})));
    QCOMPARE(none["ErrorStatusText"].text, std::optional<QString>(""));
}

void TestDisplayModel::relays()
{
    DisplayModel model;
    const auto map = byName(model.decodeDynamic(dynamicWords({ { 5, 0x0005 } })));
    const QStringList expected { "open", "close", "open", "close", "close" };
    for (int k = 1; k <= 5; ++k) {
        const auto update = map.value(QStringLiteral("LabelRel%1").arg(k));
        QCOMPARE(update.text, std::optional<QString>(expected.at(k - 1)));
        QCOMPARE(update.bold, std::optional<bool>(true));
        QCOMPARE(
            update.color, std::optional<QColor>(expected.at(k - 1) == "open" ? velto::kBlue : velto::kRed));
    }
    QCOMPARE(velto::kBlue, QColor(0, 0, 255));
    QCOMPARE(velto::kRed, QColor(255, 0, 0));
}

void TestDisplayModel::flowValue_data()
{
    QTest::addColumn<quint16>("unitCode");
    QTest::addColumn<quint16>("modeCode");
    QTest::addColumn<quint16>("low");
    QTest::addColumn<quint16>("high");
    QTest::addColumn<QString>("value"); // "<unset>": no flow boxes written
    QTest::addColumn<QString>("unitLabel");
    QTest::addColumn<QString>("indication");
    QTest::newRow("m3/h flow") << kUnitM3 << kModeFlowCode << quint16(1234) << quint16(0) << "123.4"
                               << "M3/Hr"
                               << "Flow";
    QTest::newRow("gpm totalization, 32-bit")
        << kUnitGpm << quint16(5) << quint16(0) << quint16(1) << "6553.6"
        << "G.P.M"
        << "Totalization";
    QTest::newRow("metre flow: nothing")
        << kUnitMeter << kModeFlowCode << quint16(10) << quint16(0) << "<unset>"
        << "<unset>"
        << "<unset>";
    QTest::newRow("metre volume") << kUnitMeter << kModeVolumeCode << quint16(20) << quint16(0) << "2"
                                  << ""
                                  << "Volume";
    QTest::newRow("m3/h volume") << kUnitM3 << kModeVolumeCode << quint16(25) << quint16(0) << "2.5"
                                 << ""
                                 << "Volume";
    QTest::newRow("level: nothing") << kUnitM3 << quint16(1) << quint16(10) << quint16(0) << "<unset>"
                                    << "<unset>"
                                    << "<unset>";
}

void TestDisplayModel::flowValue()
{
    QFETCH(quint16, unitCode);
    QFETCH(quint16, modeCode);
    QFETCH(quint16, low);
    QFETCH(quint16, high);
    QFETCH(QString, value);
    QFETCH(QString, unitLabel);
    QFETCH(QString, indication);
    DisplayModel model;
    model.decodeStatic(staticWords({ { 58, unitCode }, { 56, modeCode } }));
    const auto updates = model.decodeDynamic(dynamicWords({ { 6, low }, { 7, high } }));
    QCOMPARE(textOf(updates, "Vol_Flow_Tot_Value_Text"), value);
    QCOMPARE(textOf(updates, "Vol_Flow_Tot_Unit_Label"), unitLabel);
    QCOMPARE(textOf(updates, "Vol_Flow_Tot_Ind_Label"), indication);
}

void TestDisplayModel::information_data()
{
    QTest::addColumn<quint16>("commType");
    QTest::addColumn<QString>("text");
    QTest::newRow("rs485") << quint16(0) << "RS485";
    QTest::newRow("rs232") << quint16(1) << "RS232";
    QTest::newRow("7 is an error") << quint16(7) << "Err";
    QTest::newRow("negative is an error") << quint16(0xFFFF) << "Err";
}

void TestDisplayModel::information()
{
    QFETCH(quint16, commType);
    QFETCH(QString, text);
    DisplayModel model;
    const auto updates = model.decodeInformation({ commType, 12, 345, 6, 0xFFFF });
    QCOMPARE(updates.size(), 5);
    QCOMPARE(updates.first(), (BoxUpdate { "IrcommTYpe", text, {}, {}, {} }));
    QCOMPARE(textOf(updates, "IrCoProVersion"), QStringLiteral("12"));
    QCOMPARE(textOf(updates, "IrMainProVersion"), QStringLiteral("345"));
    QCOMPARE(textOf(updates, "IrLcdProVersion"), QStringLiteral("6"));
    QCOMPARE(textOf(updates, "IrHwRevisionVersion"), QStringLiteral("-1"));
}

void TestDisplayModel::shortWordListChangesNothing()
{
    DisplayModel model;
    model.setUnitText("FEET");
    QVERIFY(model.decodeStatic(QList<quint16>(15, 0)).isEmpty());
    QCOMPARE(model.unitText(), QStringLiteral("FEET"));
    QVERIFY(model.decodeDynamic({ 1, 2, 3 }).isEmpty());
    QVERIFY(model.decodeInformation({}).isEmpty());
}

void TestDisplayModel::readingsResetForgetsUnitAndMode()
{
    DisplayModel model;
    model.decodeStatic(staticWords({ { 58, kUnitM3 }, { 56, kModeFlowCode } }));
    const auto reset = byName(model.notAvailable());
    for (const char* box :
        { "IrMeasurementUnit", "IrDistance", "Interference8Text", "LabelRel5", "IrcommTYpe" }) {
        QCOMPARE(reset[box].text, std::optional<QString>("N/A"));
        QCOMPARE(reset[box].bold, std::optional<bool>(false));
    }
    QVERIFY(reset["ErrorStatusText"].color && !reset["ErrorStatusText"].color->isValid());
    QVERIFY(reset["LabelRel1"].color && !reset["LabelRel1"].color->isValid());
    QVERIFY(!reset["IrLevel"].color);

    const auto map = byName(model.decodeDynamic(dynamicWords({ { 1, 100 }, { 6, 50 } })));
    QVERIFY(!map.contains("IrDistance"));
    QVERIFY(!map.contains("Vol_Flow_Tot_Value_Text"));
}

void TestDisplayModel::cliLine()
{
    DisplayModel model;
    const auto updates = model.decodeStatic(staticWords({ { 58, kUnitFeet }, { 51, 150 }, { 56, 1 } }));
    const QString line = formatBoxUpdates(updates);
    QVERIFY2(
        line.startsWith("IrMeasurementUnit=FEET IrTankHeight=15 LabelTankHeight=feet "), qPrintable(line));
    QVERIFY(line.contains(" Current4mALabel=feet "));
    QVERIFY(!line.contains("Vol_Flow_Tot_Ind_Label")); // visibility only
    QVERIFY(line.endsWith(" Interference8Text=N/A Interference8UnitLabel=\"\""));

    const QList<BoxUpdate> awkward { { "LabelModBusTemp", QStringLiteral("Celsious "), {}, {}, {} },
        { "ErrorText", QStringLiteral("say \"hi\""), {}, {}, {} } };
    QCOMPARE(formatBoxUpdates(awkward),
        QStringLiteral("LabelModBusTemp=\"Celsious \" ErrorText=\"say \\\"hi\\\"\""));
}

QTEST_GUILESS_MAIN(TestDisplayModel)
#include "tst_display_model.moc"
