#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace velto::config {

inline const QString kIncorrectTankHeight = QStringLiteral("Incorrect Tank Height Value");
inline const QString kIncorrectSbd = QStringLiteral("Incorrect Sbd Value");
inline const QString kIncorrectMeasurementUnit = QStringLiteral("Incorrect Measurement Unit Value");
inline const QString kIncorrectIndicationMode = QStringLiteral("Incorrect Indication Mode Value");
inline const QString kIncorrect4mA = QStringLiteral("Incorrect 4mA Value");
inline const QString kIncorrect20mA = QStringLiteral("Incorrect 20mA Value");

// The list entries in the order the lists show them; the codes go with them index by index.
const QStringList& measurementUnitEntries();
const QStringList& indicationModeEntries();
const QList<quint16>& measurementUnitCodes();
const QList<quint16>& indicationModeCodes();

// The text as a 16-bit signed integer, rounded with halves to even; no value when it is not a
// number or does not fit. The word is the integer's raw bits.
std::optional<quint16> toInt16Word(const QString& text);
std::optional<quint16> toInt16Word(double value);

struct TwoWords {
    quint16 low;
    quint16 high;
};

// Rounds the value (halves to even) to a 32-bit signed integer and splits its bits, low word
// first; nothing when the value does not fit 32 bits.
std::optional<TwoWords> ConvertModbusValueTo2Integer(double value);

// A typed list entry: the code to send, or a refusal that also empties the list.
struct ListCode {
    std::optional<quint16> code;
    bool clearList = false;
};

// An entry of the list gives its code. Any other text is read as a number; text that is no number
// reads as 0. The numbers that are refused are those an entry of the list stands for (0 to 4 for
// the unit; 0, 1, 3, 5, 6 for the mode), so typing is for codes the list does not offer.
ListCode measurementUnitCode(const QString& text);
ListCode indicationModeCode(const QString& text);

} // namespace velto::config
