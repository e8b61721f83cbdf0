// Every input box the windows check, by its name, against the same entries: empty, blanks, letters,
// huge numbers, a negative one and both ends of its range with one beyond each. A box either takes
// the entry or shows its own message once and holds its default afterwards, as its window's rules
// say; a box checked once the operator stops typing says nothing before then.
#include "app/main_controller.h"
#include "modbus/debounced_text_check.h"
#include "radar/radar_controller.h"
#include "regtest/register_block_poller.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui/form_rendo.h"
#include "ui/multiple_devices_window.h"
#include "ui/registers_test_window.h"
#include "ui_form_rendo.h"
#include "ui_main_window.h"
#include "ui_port_setup_window.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <optional>

using namespace velto;

namespace {

const QString kXmtTimeout = QStringLiteral(
    "Wrong value. Enter a valid Xmt Timeout value, between 1 msec to 30000 msec (default value 300 msec)");
const QString kRcvTimeout = QStringLiteral("Wrong value. Enter a valid Receive Timeout value, between 1 msec "
                                           "to 30000 msec (default value 1000 msec)");
const QString kModbusId
    = QStringLiteral("Wrong value. Enter your valid ID address between 1 to 255 sec (default value 1)");
const QString kVeltoId
    = QStringLiteral("Wrong number. Enter your valid ID address between 0 to 255 sec (default value 1)");

// Where a box lives: the window and, for the main window, the mode it is shown in.
enum class Place { ModbusMode, VeltoMode, LogPanel, RegistersTest, MultipleDevices, Radar };

// What an empty or blank box means: refused like any other bad entry, not checked yet (the operator
// is still typing an address), or a valid entry of its own (no logging rate).
enum class Empty { Refused, NotYet, Valid };

class Rig;

struct Box {
    Place place;
    QString name;
    int minimum;
    int maximum;
    QString defaultText; // what a refused entry leaves in the box
    QString message;
    bool debounced;
    Empty empty;
    // The value the window now works with, where it can be read back (none where it cannot).
    std::function<std::optional<int>(Rig&)> applied;
};

struct Expected {
    bool refused = false;
    QString textAfter;
    std::optional<int> applied; // empty: the value before the entry stands (or there is none)
};

class Rig {
public:
    test::FakeModbusMaster master;
    test::FakeByteLink link;
    test::FakePrompter prompter;
    QList<serial::PortChoice> ports { { "/dev/ttyFAKE0", "/dev/ttyFAKE0", false } };
    app::MainController controller { { master, link, prompter, [this] { return ports; }, {}, {} } };
    QTemporaryDir dir;
    QWidget* tool = nullptr;

    ui::MainWindow& window() { return controller.window(); }
    void trigger(const char* entry) { window().entry(entry)->trigger(); }

    void bringUp(Place place)
    {
        trigger("mnuConnect");
        QTest::mouseClick(controller.connection().portWindow()->form().btnOKPortSetUp, Qt::LeftButton);
        trigger("mnuOrvix25");
        switch (place) {
        case Place::ModbusMode:
        case Place::LogPanel:
            trigger("mnuOrvixRegisters");
            break;
        case Place::VeltoMode:
            trigger("mnuVeltoProtocol");
            break;
        case Place::RegistersTest:
            trigger("mnuRegistersTest");
            tool = window().findChild<ui::RegistersTestWindow*>();
            break;
        case Place::MultipleDevices:
            trigger("mnu5Devices");
            tool = window().findChild<ui::MultipleDevicesWindow*>();
            break;
        case Place::Radar:
            trigger("mnuOperation");
            tool = window().findChild<ui::FormRendo*>();
            break;
        }
        if (place == Place::LogPanel) {
            prompter.fileAnswers.enqueue(dir.filePath("readings.csv"));
            trigger("mnuLog");
            QTest::mouseClick(window().form().OpenFile, Qt::LeftButton);
        }
        // Nothing polls behind the table's back.
        window().stopTrafficTimers();
        prompter.messages.clear();
    }
    QLineEdit* box(const QString& name)
    {
        QWidget* in = tool ? tool : static_cast<QWidget*>(&window());
        return in->findChild<QLineEdit*>(name);
    }
    QList<modbus::DebouncedTextCheck*> waitingChecks()
    {
        QList<modbus::DebouncedTextCheck*> all
            = controller.modbusReadings().findChildren<modbus::DebouncedTextCheck*>();
        if (tool)
            all << tool->findChildren<modbus::DebouncedTextCheck*>();
        QList<modbus::DebouncedTextCheck*> pending;
        for (auto* check : all)
            if (check->pending())
                pending << check;
        return pending;
    }
};

std::optional<int> radarInput(Rig& rig, double (*value)(const radar::RadarInputs&))
{
    auto* tool = qobject_cast<ui::FormRendo*>(rig.tool);
    return tool ? std::optional<int>(int(value(tool->controller().inputs()))) : std::nullopt;
}

std::optional<int> registersPoller(Rig& rig, int (regtest::RegisterBlockPoller::*value)() const)
{
    auto* tool = qobject_cast<ui::RegistersTestWindow*>(rig.tool);
    return tool ? std::optional<int>((tool->poller().*value)()) : std::nullopt;
}

QList<Box> boxes()
{
    auto rx = [](Rig& r) { return std::optional<int>(r.master.rx); };
    auto slave = [](Rig& r) { return std::optional<int>(r.controller.state().CurrentSlaveId); };
    const std::function<std::optional<int>(Rig&)> nothing;
    QList<Box> out {
        { Place::ModbusMode, "Xmt_Timeout_Text", 1, 30000, "300", kXmtTimeout, true, Empty::Refused,
            [](Rig& r) {
                if (r.window().TimerModbusDataUpdate->interval() != r.master.tx)
                    return std::optional<int>(); // the poll period must follow the time-out
                return std::optional<int>(r.master.tx);
            } },
        { Place::ModbusMode, "Rcv_Timeout_Text", 1, 30000, "1000", kRcvTimeout, true, Empty::Refused, rx },
        { Place::ModbusMode, "TxtOrvixId", 1, 255, "1", kModbusId, false, Empty::NotYet, slave },
        { Place::ModbusMode, "TxtOrvix2Id", 1, 255, "2", kModbusId, false, Empty::NotYet, slave },
        { Place::VeltoMode, "TxtOrvixId", 0, 255, "0", kVeltoId, false, Empty::NotYet, slave },
        { Place::ModbusMode, "SetMBStartAddText", 1, 9999, "52",
            "Wrong value. Enter a valid address value, between 1 to 9999 (default value 52)", false,
            Empty::Refused, nothing },
        { Place::ModbusMode, "SetMBLengthText", 1, 8, "8",
            "Wrong value. Enter a valid lenght value, between 1 to 8 (default value 8)", false,
            Empty::Refused, nothing },
        { Place::ModbusMode, "SetPeriodicalTankHeightText", 1, 100000, "5000",
            "Illegal Interval Value.\nEnter valid Interval Value, from 1 to 100000 msec (default value 5000)",
            false, Empty::Refused,
            [](Rig& r) { return std::optional<int>(r.window().SetTankHeight1000TimesTimer->interval()); } },
        // A refused rate empties the box: no logging is the rate's default.
        { Place::LogPanel, "RateTime", 1, 60, "", "Wrong number. Enter a valid number 1-60 sec", false,
            Empty::Valid,
            [](Rig& r) {
                QTimer& timer = r.controller.logPanel().logger().timer();
                return timer.isActive() ? std::optional<int>(timer.interval() / 1000) : std::nullopt;
            } },
        { Place::RegistersTest, "DeviceAddressText", 1, 255, "1",
            "Wrong value. Enter a valid device address value, between 1 to 255 (default value 1)", true,
            Empty::Refused,
            [](Rig& r) { return registersPoller(r, &regtest::RegisterBlockPoller::CurrentSlaveId); } },
        { Place::RegistersTest, "StartAddressText", 1, 9999, "1",
            "Wrong value. Enter a valid address value, between 1 to 9999 (default value 1)", true,
            Empty::Refused,
            [](Rig& r) { return registersPoller(r, &regtest::RegisterBlockPoller::startAddress); } },
        { Place::RegistersTest, "LenghtText", 1, 50, "10",
            "Wrong value. Enter a valid lenght value, between 1 to 50 (default value 10)", true,
            Empty::Refused,
            [](Rig& r) { return registersPoller(r, &regtest::RegisterBlockPoller::length); } },
        { Place::RegistersTest, "XmtTimeoutText", 1, 30000, "300", kXmtTimeout, true, Empty::Refused,
            [](Rig& r) {
                if (r.window().TimerSingleMultiRegisters->interval() != r.master.tx)
                    return std::optional<int>();
                return std::optional<int>(r.master.tx);
            } },
        { Place::RegistersTest, "RcvTimeoutText", 1, 30000, "1000", kRcvTimeout, true, Empty::Refused, rx },
        { Place::MultipleDevices, "XmtTimeoutText", 1, 30000, "300", kXmtTimeout, true, Empty::Refused,
            [](Rig& r) {
                if (r.window().TimerForModbusDevices->interval() != r.master.tx)
                    return std::optional<int>();
                return std::optional<int>(r.master.tx);
            } },
        { Place::MultipleDevices, "RcvTimeoutText", 1, 30000, "1000", kRcvTimeout, true, Empty::Refused, rx },
    };
    // The radar window's boxes, checked a second after the last change.
    using radar::RadarInputs;
    auto radarValue = [](double (*value)(const RadarInputs&)) {
        return [value](Rig& r) { return radarInput(r, value); };
    };
    out << Box { Place::Radar, "NumOfAutomeasurementText", 1, 32767, "5",
        "Wrong value. Enter a valid no. of Measurement value, between 1 to 32767 (default value 5)", true,
        Empty::Refused, radarValue([](const RadarInputs& in) { return double(in.numOfAutomeasurement); }) };
    out << Box { Place::Radar, "TankHeightTextBox", 0, 40000, "0",
        "Wrong value. Enter a valid tank height value, between 0 to 40000 mm (default value 0)", true,
        Empty::Refused,
        radarValue([](const RadarInputs& in) { return double(in.parameters.tankHeightMm); }) };
    out << Box { Place::Radar, "CentralFrequencyText", 9500, 10600, "10050",
        "Wrong value. Enter a valid central frequency value, between 9500 MHz to 10600 MHz (default value "
        "10050 MHz)",
        true, Empty::Refused,
        radarValue([](const RadarInputs& in) { return double(in.parameters.centralFrequencyMHz); }) };
    out << Box { Place::Radar, "BandTextBox", 50, 1100, "1100",
        "Wrong value. Enter a valid band value, between 1100 MHz to 50 MHz (default value 1100 MHz)", true,
        Empty::Refused, radarValue([](const RadarInputs& in) { return double(in.parameters.bandMHz); }) };
    // Its wording is ours: the range and the default, as the other boxes say them.
    out << Box { Place::Radar, "TrueLiquidHeightTextBox", 0, 40000, "0",
        "Wrong value. Enter a valid true liquid height value, between 0 to 40000 mm (default value 0)", true,
        Empty::Refused,
        radarValue([](const RadarInputs& in) { return double(in.parameters.trueLiquidHeightMm); }) };
    out << Box { Place::Radar, "RTSDelayText", 0, 10000000, "250000",
        "Wrong value. Enter a valid RTS Delay value, between 0 to 10000000 (default value 250000)", true,
        Empty::Refused, radarValue([](const RadarInputs& in) { return double(in.rtsDelayCount); }) };
    out << Box { Place::Radar, "DistanceOffsetText", -1, 1, "0",
        "Wrong value. Enter a valid Distance Offset value, between -1m to 1m (default value 0)", true,
        Empty::Refused, radarValue([](const RadarInputs& in) { return in.distanceOffsetM; }) };
    for (int k = 1; k <= 5; ++k)
        out.append({ Place::MultipleDevices, QStringLiteral("ID%1Text").arg(k), 1, 255, "1",
            QStringLiteral("Wrong value. Enter a valid ID%1 value, between 1 to 255 (default value 1)")
                .arg(k),
            true, Empty::Refused, nothing });
    return out;
}

const char* placeName(Place place)
{
    switch (place) {
    case Place::ModbusMode:
        return "ProtocolChoose, ModBus";
    case Place::VeltoMode:
        return "ProtocolChoose, VeltoProtocol";
    case Place::LogPanel:
        return "ProtocolChoose, DataBase";
    case Place::RegistersTest:
        return "FormSingleMultiRegisters";
    case Place::MultipleDevices:
        return "FormMultipleDevicesModbus";
    case Place::Radar:
        return "FormRendo";
    }
    return "";
}

QString shown(std::optional<int> value)
{
    return value ? QString::number(*value) : QStringLiteral("(none)");
}

Expected expect(const Box& box, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() && box.empty != Empty::Refused)
        return { false, text, std::nullopt };
    bool number = false;
    const qlonglong value = trimmed.toLongLong(&number);
    if (number && value >= box.minimum && value <= box.maximum)
        return { false, text, int(value) };
    const std::optional<int> fallback
        = box.defaultText.isEmpty() ? std::nullopt : std::optional<int>(box.defaultText.toInt());
    return { true, box.defaultText, fallback };
}

} // namespace

class TstInputBoxes : public QObject {
    Q_OBJECT
private slots:
    void boxTakesOrRefuses_data();
    void boxTakesOrRefuses();
    void settlesOnlyOnceTypingStops();
    void portBoxWantsAPort();
    void radarBlockRangesCorrectSilently_data();
    void radarBlockRangesCorrectSilently();
};

void TstInputBoxes::boxTakesOrRefuses_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("entry");
    const QList<Box> all = boxes();
    for (int i = 0; i < all.size(); ++i) {
        const Box& b = all[i];
        const QList<std::pair<const char*, QString>> entries {
            { "empty", QString() },
            { "blanks", QStringLiteral("   ") },
            { "letters", QStringLiteral("abc") },
            { "huge", QStringLiteral("99999999999") },
            { "beyond any integer", QStringLiteral("123456789012345678901234567890") },
            { "negative", QStringLiteral("-5") },
            { "below the lowest", QString::number(b.minimum - 1) },
            { "the lowest", QString::number(b.minimum) },
            { "the highest", QString::number(b.maximum) },
            { "above the highest", QString::number(b.maximum + 1) },
        };
        for (const auto& [label, text] : entries)
            QTest::addRow("%s %s: %s", placeName(b.place), qPrintable(b.name), label) << i << text;
    }
}

void TstInputBoxes::boxTakesOrRefuses()
{
    QFETCH(int, index);
    QFETCH(QString, entry);
    const Box b = boxes().at(index);
    Rig rig;
    rig.bringUp(b.place);
    if (b.name == "TxtOrvix2Id") {
        QComboBox* sensors = rig.window().form().NoOfUnitCombo;
        sensors->setCurrentIndex(1);
        emit sensors->activated(1);
        rig.window().stopTrafficTimers();
    }
    QLineEdit* box = rig.box(b.name);
    QVERIFY2(box, qPrintable(b.name));
    QVERIFY(box->isVisibleTo(box->window()));
    const std::optional<int> before = b.applied ? b.applied(rig) : std::nullopt;

    // Typed over what the box held, so a debounced box sees a change even when the entry is the same.
    if (b.debounced && box->text() == entry)
        box->setText(entry + QLatin1Char('0'));
    box->setText(entry);
    if (b.debounced) {
        // Nothing is checked while the operator may still be typing.
        QVERIFY(rig.prompter.messages.isEmpty());
        const auto waiting = rig.waitingChecks();
        QCOMPARE(waiting.size(), 1);
        waiting.first()->settleNow();
    }

    const Expected want = expect(b, entry);
    QCOMPARE(rig.prompter.texts(), want.refused ? QStringList { b.message } : QStringList());
    QCOMPARE(box->text(), want.textAfter);
    if (b.applied)
        QCOMPARE(shown(b.applied(rig)), shown(want.applied ? want.applied : before));
    // Putting the default back is no new entry: nothing more to say, nothing left to check.
    QVERIFY(rig.waitingChecks().isEmpty());
    QCOMPARE(rig.prompter.messages.size(), want.refused ? 1 : 0);
}

// The time-out's one-second wait is real: typing 500 digit by digit applies 500 alone.
void TstInputBoxes::settlesOnlyOnceTypingStops()
{
    Rig rig;
    rig.bringUp(Place::ModbusMode);
    QLineEdit* box = rig.box("Xmt_Timeout_Text");
    QSignalSpy applied(box, &QLineEdit::textChanged);
    for (const char* typed : { "", "5", "50", "500" })
        box->setText(QString::fromLatin1(typed));
    QCOMPARE(rig.master.tx, 300);
    QTRY_COMPARE_WITH_TIMEOUT(rig.master.tx, 500, 10000);
    QCOMPARE(rig.window().TimerModbusDataUpdate->interval(), 500);
    QVERIFY(rig.prompter.messages.isEmpty());
}

void TstInputBoxes::portBoxWantsAPort()
{
    Rig rig;
    rig.trigger("mnuConnect");
    Ui::PortSetup& p = rig.controller.connection().portWindow()->form();
    for (const char* typed : { "", "   " }) {
        p.cmbPortNum->setEditText(QString::fromLatin1(typed));
        QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
        QCOMPARE(rig.prompter.lastText(), QString("No Available Comport"));
        QVERIFY(rig.window().entry("mnuConnect")->isEnabled());
    }
    rig.prompter.messages.clear();
    p.cmbPortNum->setEditText("/dev/ttyTYPED0");
    QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);
    QVERIFY(rig.prompter.messages.isEmpty());
    QVERIFY(!rig.window().entry("mnuConnect")->isEnabled());
    QCOMPARE(rig.window().form().COMPortText->text(), QString("/dev/ttyTYPED0"));
}

void TstInputBoxes::radarBlockRangesCorrectSilently_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    // From the defaults 1-4 (FFT) and 9-12 (RAW): a refused start falls back alone, a refused end takes
    // the whole default range with it, an end above the last block only the default end.
    const struct {
        const char* box;
        const char* entry;
        int start;
        int end;
    } rows[] = {
        { "FFTStartBlockText", "", 1, 4 },
        { "FFTStartBlockText", "   ", 1, 4 },
        { "FFTStartBlockText", "abc", 1, 4 },
        { "FFTStartBlockText", "99999999999", 1, 4 },
        { "FFTStartBlockText", "-5", 1, 4 },
        { "FFTStartBlockText", "0", 1, 4 },
        { "FFTStartBlockText", "2", 2, 4 },
        { "FFTStartBlockText", "4", 4, 4 },
        { "FFTStartBlockText", "5", 1, 4 },
        { "FFTEndBlockText", "", 1, 4 },
        { "FFTEndBlockText", "abc", 1, 4 },
        { "FFTEndBlockText", "99999999999", 1, 4 },
        { "FFTEndBlockText", "-5", 1, 4 },
        { "FFTEndBlockText", "0", 1, 4 },
        { "FFTEndBlockText", "1", 1, 1 },
        { "FFTEndBlockText", "64", 1, 64 },
        { "FFTEndBlockText", "65", 1, 4 },
        { "FFTEndBlockText", "70", 1, 4 },
        { "RAWStartBlockText", "", 9, 12 },
        { "RAWStartBlockText", "abc", 9, 12 },
        { "RAWStartBlockText", "-5", 9, 12 },
        { "RAWStartBlockText", "8", 9, 12 },
        { "RAWStartBlockText", "9", 9, 12 },
        { "RAWStartBlockText", "12", 12, 12 },
        { "RAWStartBlockText", "13", 9, 12 },
        { "RAWEndBlockText", "", 9, 12 },
        { "RAWEndBlockText", "abc", 9, 12 },
        { "RAWEndBlockText", "99999999999", 9, 12 },
        { "RAWEndBlockText", "8", 9, 12 },
        { "RAWEndBlockText", "9", 9, 9 },
        { "RAWEndBlockText", "235", 9, 235 },
        { "RAWEndBlockText", "236", 9, 12 },
    };
    for (const auto& r : rows)
        QTest::addRow("%s: '%s'", r.box, r.entry)
            << QString::fromLatin1(r.box) << QString::fromLatin1(r.entry) << r.start << r.end;
}

void TstInputBoxes::radarBlockRangesCorrectSilently()
{
    QFETCH(QString, box);
    QFETCH(QString, entry);
    QFETCH(int, start);
    QFETCH(int, end);
    Rig rig;
    rig.bringUp(Place::Radar);
    auto* radarWindow = qobject_cast<ui::FormRendo*>(rig.tool);
    QVERIFY(radarWindow);
    Ui::FormRendo& f = radarWindow->form();
    // The ranges show while the graph and both data kinds are ticked.
    for (QCheckBox* check : { f.PresentCheck, f.SpectrumCheck, f.TimeDomainCheck })
        check->click();
    const bool fft = box.startsWith("FFT");
    QLineEdit* startBox = fft ? f.FFTStartBlockText : f.RAWStartBlockText;
    QLineEdit* endBox = fft ? f.FFTEndBlockText : f.RAWEndBlockText;
    QLineEdit* typed = rig.box(box);
    QVERIFY(typed->isVisibleTo(radarWindow));

    if (typed->text() == entry)
        typed->setText(entry + QLatin1Char('0'));
    typed->setText(entry);
    const auto waiting = rig.waitingChecks();
    QCOMPARE(waiting.size(), 1);
    waiting.first()->settleNow();

    QVERIFY(rig.prompter.messages.isEmpty());
    QCOMPARE(startBox->text(), QString::number(start));
    QCOMPARE(endBox->text(), QString::number(end));
    const radar::BlockRange& applied
        = fft ? radarWindow->controller().inputs().fft : radarWindow->controller().inputs().raw;
    QCOMPARE(applied.start, start);
    QCOMPARE(applied.end, end);
    // Putting the corrected numbers back is no new entry.
    QVERIFY(rig.waitingChecks().isEmpty());
}

QTEST_MAIN(TstInputBoxes)
#include "tst_input_boxes.moc"
