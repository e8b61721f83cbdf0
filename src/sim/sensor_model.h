#pragma once

#include <QList>
#include <QtGlobal>

#include <array>
#include <optional>

namespace velto::sim {

enum class MeasurementUnit : quint16 {
    Meter = 0,
    Inch = 1,
    Feet = 2,
    CubicMetresPerHour = 3,
    GallonsPerMinute = 4
};
enum class IndicationMode : quint16 { Distance = 0, Level = 1, Flow = 3, Totalization = 5, Volume = 6 };

enum class ModbusException : quint8 {
    None = 0,
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    ServerDeviceBusy = 6,
};

// What the sensor tells the ASCII protocol about its echo, one value per reply.
enum class EchoStatus : quint8 { Ok = 0, Full = 1, Empty = 2, Noise = 4, NoEcho = 8 };

namespace reg {
constexpr int kDynamicFirst = 0;
constexpr int kDynamicCount = 8;
constexpr int kStaticFirst = 51;
constexpr int kStaticCount = 16;
constexpr int kInfoFirst = 192;
constexpr int kInfoCount = 5;
// A sensor holds every register from the first group to the last; those between the groups are
// reserved and read 0. Beyond the last one a read is refused.
constexpr int kMapFirst = kDynamicFirst;
constexpr int kMapLast = kInfoFirst + kInfoCount - 1;

constexpr int kOwnAddress = 0;
constexpr int kDistance = 1;
constexpr int kLevel = 2;
constexpr int kTemperature = 3;
constexpr int kStatus = 4;
constexpr int kRelays = 5;
constexpr int kQuantityLow = 6;
constexpr int kQuantityHigh = 7;

constexpr int kTankHeight = 51;
constexpr int kFourMaLow = 52;
constexpr int kFourMaHigh = 53;
constexpr int kTwentyMaLow = 54;
constexpr int kTwentyMaHigh = 55;
constexpr int kIndicationMode = 56;
constexpr int kSbd = 57;
constexpr int kUnit = 58;
constexpr int kInterferenceFirst = 59;
constexpr int kInterferenceLast = 66;

constexpr int kCommType = 192;
constexpr int kCoprocessorVersion = 193;
constexpr int kMainVersion = 194;
constexpr int kDisplayVersion = 195;
constexpr int kHardwareRevision = 196;

// Configuration that a master may write; everything else is read-only or absent.
constexpr int kWritableFirst = kTankHeight;
constexpr int kWritableLast = kUnit;
} // namespace reg

namespace flag {
constexpr quint16 kOk = 1u << 0;
constexpr quint16 kFull = 1u << 1;
constexpr quint16 kEmpty = 1u << 2;
constexpr quint16 kNoise = 1u << 3;
constexpr quint16 kNoTable = 1u << 4;
constexpr quint16 kMenu = 1u << 5;
} // namespace flag

// Writing this value alone to the unit register flips the sensor in or out of its menu, so a master
// can provoke "device busy" without a hand on the sensor's keypad.
constexpr quint16 kMenuToggleValue = 0xDEAD;

constexpr int kInterferenceCount = 8;
constexpr quint16 kReservedWord = 0;
constexpr quint16 kCommRs485 = 0;
constexpr quint16 kCommRs232 = 1;

struct SensorSetup {
    quint8 address = 1;
    MeasurementUnit unit = MeasurementUnit::Meter;
    IndicationMode mode = IndicationMode::Level;
    qint32 tankHeightMm = 5000;
    qint32 fourMaMm = 0;
    qint32 twentyMaMm = 5000;
    quint32 fourMaQuantity = 0; // tenths, flow and volume modes
    quint32 twentyMaQuantity = 10000;
    qint32 sbdMm = 300;
    std::array<qint32, kInterferenceCount> interferenceMm {};
    quint16 commType = kCommRs485;
    quint16 coprocessorVersion = 12;
    quint16 mainVersion = 215;
    quint16 displayVersion = 31;
    quint16 hardwareRevision = 3;

    // Motion: one fill-and-empty cycle takes levelPeriodS; phase (0..1) staggers the sensors.
    double levelPeriodS = 180.0;
    double phase = 0.0;
    double meanTemperatureC = 21.5;
    quint32 quantityStartTenths = 0;
    qint64 quantityTenthsPerMinute = 25; // flow and totalization growth
    double crossSectionM2 = 12.5; // volume mode
};

// One moment of a sensor, in its own internal units.
struct SensorReading {
    qint32 distanceMm = 0;
    qint32 levelMm = 0;
    qint16 temperatureCenti = 0;
    quint16 status = 0;
    quint16 relays = 0;
    quint32 quantityTenths = 0;
    EchoStatus echo = EchoStatus::Ok;
};

// One simulated level sensor: configuration held as a real one holds it (lengths in millimetres,
// scaled to the current unit on the way out), readings computed from the time so they repeat
// exactly under a fixed clock.
class SensorModel {
public:
    explicit SensorModel(const SensorSetup& setup);

    quint8 address() const { return m_address; }
    SensorReading readingAt(qint64 ms) const;

    static bool isMapped(int reg);
    // nullopt: the register is not in the map.
    std::optional<quint16> readRegister(int reg, qint64 ms) const;
    ModbusException readRegisters(int start, int count, qint64 ms, QList<quint16>& out) const;
    // All or nothing: a refused write changes nothing.
    ModbusException writeRegisters(int start, const QList<quint16>& values);

    bool inMenu() const { return m_inMenu; }
    void setInMenu(bool on) { m_inMenu = on; }

    MeasurementUnit unit() const { return m_config.unit; }
    IndicationMode mode() const { return m_config.mode; }
    qint32 tankHeightMm() const { return m_config.tankHeightMm; }

    // Lengths as words of the given unit and back.
    static quint16 lengthToWord(qint32 mm, MeasurementUnit unit, bool isSigned);
    static qint32 wordToLength(quint16 word, MeasurementUnit unit, bool isSigned);

private:
    struct Config {
        MeasurementUnit unit;
        IndicationMode mode;
        qint32 tankHeightMm;
        qint32 fourMaMm;
        quint16 fourMaHighWord; // kept as written while the pair holds a length
        quint32 fourMaQuantity;
        qint32 twentyMaMm;
        quint16 twentyMaHighWord;
        quint32 twentyMaQuantity;
        qint32 sbdMm;
        std::array<qint32, kInterferenceCount> interferenceMm;
    };

    static bool isQuantityMode(IndicationMode mode);
    quint16 staticWord(int reg) const;
    static bool applyWord(Config& config, int reg, quint16 value);

    quint8 m_address;
    SensorSetup m_setup;
    Config m_config;
    bool m_inMenu = false;
};

} // namespace velto::sim
