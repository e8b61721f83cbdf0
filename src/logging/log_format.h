#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

namespace velto::logging {

enum class LogMode { Modbus, Velto };

// The texts of the Modbus readings panel at the moment of a tick.
struct ModbusReadingTexts {
    QString errorStatus; // ErrorStatusText
    QString distance; // IrDistance
    QString level; // IrLevel
    QString temperature; // IrTemperature
    QString volume; // Vol_Flow_Tot_Value_Text; logged only when not empty
    QString tankHeight; // IrTankHeight
    QString unit; // IrMeasurementUnit
};

// The texts of one sensor's column of the Velto panel.
struct VeltoSensorTexts {
    QString status; // VeltoDevSta
    QString distance; // TxtVeltoDist
    QString level; // TextVeltoLevel
    QString temperature; // TextVeltoTemp
    QString tankHeight; // IrVeltoTnakHeight
};

// What one data line logs; filled by the window (or the command-line tool) from what it shows.
struct LogReadings {
    LogMode mode = LogMode::Velto;
    bool twoSensors = false; // LabelMultiSensor visible
    ModbusReadingTexts modbus;
    std::array<VeltoSensorTexts, 2> velto;
};

// Fixed when the file is opened: decides the title line and the grid header.
struct LogLayout {
    LogMode mode = LogMode::Velto;
    bool twoSensors = false;
    QString volumeCaption; // Vol_Flow_Tot_Ind_Label's caption; Modbus only
};

inline const QString kLineEnd = QStringLiteral("\r\n");
inline const QString kValueSeparator = QStringLiteral(" , ");
inline const QString kVolumeSeparator = QStringLiteral(",");

inline const QString kCreateFileError = QStringLiteral("An error has occurd");
inline const QString kTitleModbusError = QStringLiteral("an error has occurd on WriteTitleModBus");
inline const QString kTitleVeltoError = QStringLiteral("an error has occurd on WriteTitleVELTO");
inline const QString kEnterDataError = QStringLiteral("an error has occurd on EnterDataToFile");
inline const QString kRateMessage = QStringLiteral("Wrong number. Enter a valid number 1-60 sec");

inline const QString kPanelCaptionModbus = QStringLiteral("DataBase for ModBus");
inline const QString kPanelCaptionVelto = QStringLiteral("DataBase for VeltoProtocol");

// The log file dialog: all files, text files, CSV files (preselected).
inline const QString kLogFileFilter
    = QStringLiteral("All Files (*.*);;Text Files(*.txt);; csv Files (*.csv)");
inline const QString kLogFileSelectedFilter = QStringLiteral(" csv Files (*.csv)");

// The title line without its line end.
QString titleText(const LogLayout& layout);
QStringList gridHeader(const LogLayout& layout);

// Time and date as the system's regional short formats print them.
QString logTime(const QDateTime& now);
QString logDate(const QDateTime& now);

// One whole data line, CR LF included.
QString dataLine(const LogReadings& readings, const QDateTime& now);
// The grid echo of the same line: the values, the time, the date.
QStringList gridRow(const LogReadings& readings, const QDateTime& now);

// A rate entry of RateTime, in seconds.
struct RateEntry {
    enum class Kind { Empty, Valid, Invalid };
    Kind kind = Kind::Empty;
    int intervalMs = 0; // Valid only
};

inline constexpr double kMinRateExclusiveS = 0.0;
inline constexpr double kMaxRateExclusiveS = 61.0;

// Empty, or a number above 0 and below 61 (fractions allowed) that gives at least a 1 ms interval.
RateEntry checkRate(QStringView text);

} // namespace velto::logging
