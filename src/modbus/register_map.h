#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

namespace velto {
class Prompter;
}

namespace velto::modbus {

struct RegisterGroup {
    int start;
    int count;
};

inline constexpr RegisterGroup kStaticGroup { 51, 16 };
inline constexpr RegisterGroup kDynamicGroup { 0, 8 };
inline constexpr RegisterGroup kInformationGroup { 192, 5 };

// Registers of the static group, as 0-based addresses.
inline constexpr int kRegTankHeight = 51;
inline constexpr int kReg4mA = 52; // and 53 for the high word
inline constexpr int kReg20mA = 54; // and 55
inline constexpr int kRegIndicationMode = 56;
inline constexpr int kRegSbd = 57;
inline constexpr int kRegMeasurementUnit = 58;
inline constexpr int kRegInterference1 = 59; // .. 66
inline constexpr int kInterferenceCount = 8;

// Registers of the dynamic group.
inline constexpr int kRegDeviceAddress = 0;
inline constexpr int kRegDistance = 1;
inline constexpr int kRegLevel = 2;
inline constexpr int kRegTemperature = 3;
inline constexpr int kRegStatus = 4;
inline constexpr int kRegRelays = 5;
inline constexpr int kRegFlowLow = 6; // 7 holds the high word
inline constexpr int kRelayCount = 5;

// Registers of the information group.
inline constexpr int kRegCommType = 192;
inline constexpr int kRegCoProVersion = 193;
inline constexpr int kRegMainProVersion = 194;
inline constexpr int kRegLcdProVersion = 195;
inline constexpr int kRegHwRevision = 196;

inline const QString kConversionWarningTitle = QStringLiteral("Velto KRVMS");
inline const QString kConversionWarningText
    = QStringLiteral("Error encountered while trying to enter value,Please retry");

// The sensor's words come as 16-bit signed; these move between that and 0..65535.
qint32 SInt2UInt(qint16 value);
qint32 IntegerToUnsigned(qint16 value);
// Outside 0..65535 warns through the prompter and gives 0.
qint16 UnsignedToInteger(qint32 value, Prompter& prompter);

// Two words, low first, as one unsigned 32-bit quantity (exact in a double).
double ConvertHexToDecimal(qint16 LoValue, qint16 HiValue);
quint32 combineWords(quint16 low, quint16 high);

// 0..15 for "0".."9", "A".."F" in either case; 0 for anything else, including longer texts.
int HexDigitValue(QStringView digit);
// Binary digits without leading zeros; "0" for 0 and for every negative word.
QString ToBinaryText(qint16 value);
double MyRound(double value);

// The R4 flags run together in the order Menu, No Table, Noise, Empty, Full, OK. A word with bit 15
// set would read as all clear through ToBinaryText; the flags live in bits 0..5, so they are taken
// from the word itself and still shown.
QString statusText(quint16 r4);

enum class MeasurementUnit { Meter = 0, Inch = 1, Feet = 2, M3PerHr = 3, Gpm = 4 };

std::optional<MeasurementUnit> unitFromCode(int code);
std::optional<MeasurementUnit> unitFromText(QStringView text);
// "METER", "INCH", "FEET", "M3/HR", "G.P.M" as the unit box shows them.
QString unitText(MeasurementUnit unit);
// "meter", "feet" or "inch": the label next to a length.
QString unitLabel(MeasurementUnit unit);
// "M3/Hr" or "G.P.M" for the flow units, empty for the length units.
QString flowUnitLabel(MeasurementUnit unit);
bool isFlowUnit(MeasurementUnit unit);

inline const QString kModeDistance = QStringLiteral("Distance");
inline const QString kModeLevel = QStringLiteral("Level");
inline const QString kModeFlow = QStringLiteral("Flow");
inline const QString kModeTotalization = QStringLiteral("Totalization");
inline const QString kModeVolume = QStringLiteral("Volume");

// 0 Distance, 1 Level, 3 Flow, 5 Totalization, 6 Volume; nothing for the other codes.
std::optional<QString> indicationModeText(int code);

// value / divisor as plain decimal text: as many fraction digits as needed, no point for whole
// numbers. Exact for divisors that are powers of ten, unlike formatting a double.
QString formatDecimal(qint64 value, qint64 divisor);

// Distance, level, tank height and the 4/20 mA points: metres and m3/h read the word unsigned.
QString scaleLength(quint16 word, MeasurementUnit unit);
// Sbd and interferences: always signed.
QString scaleSigned(quint16 word, MeasurementUnit unit);
// The number scaleLength shows, for a plot.
double lengthValue(quint16 word, MeasurementUnit unit);

} // namespace velto::modbus
