#pragma once

#include "common/range_rule.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace velto::config {

inline constexpr int kBlockWords = 8;
inline constexpr int kBlockFirstRegister = 51; // R51, typed as 52 in the start box

// Word positions of the configuration block, in register order.
namespace word {
inline constexpr int kTankHeight = 0;
inline constexpr int k4mALow = 1;
inline constexpr int k20mALow = 3;
inline constexpr int kIndicationMode = 5;
inline constexpr int kSbd = 6;
inline constexpr int kMeasurementUnit = 7;
} // namespace word

inline const QString kIncorrectSbdInBlock = QStringLiteral("Incorrect SBD Value");
inline const QString kInvalidStartAddress = QStringLiteral("Invalid Start Address");
inline const QString kInvalidBufferLength = QStringLiteral("Invalid Buffer Length");

// The six inputs as the boxes and lists hold them.
struct BlockInputs {
    QString tankHeight;
    QString fourMa;
    QString twentyMa;
    QString indicationMode;
    QString sbd;
    QString measurementUnit;
};

struct BlockWords {
    int startRegister = kBlockFirstRegister; // 0-based register of the first word
    QList<quint16> words; // empty when refused
    QString message; // the refusal's message
    bool clearMeasurementUnit = false; // a refused typed code also empties its list
    bool clearIndicationMode = false;

    bool ok() const { return !words.isEmpty(); }
};

// All eight words. The inputs are converted in the order unit, mode, tank height, 4 mA, 20 mA,
// SBD; the first failure is the answer.
BlockWords buildPresetBlock(const BlockInputs& inputs);

// Words from the block position that start number S (52..59, counting registers from 1) names,
// N of them. Only the inputs behind those words are converted (same order and messages as the
// whole block), so a partial write does not demand values it will not send.
BlockWords buildSelectedBlock(const BlockInputs& inputs, int start, int length);
// True when the start is one a range may begin at; the length is then checked separately.
bool isValidStart(int start);
bool isValidLength(int start, int length);

inline constexpr int kStartMin = 1;
inline constexpr int kStartMax = 9999;
inline constexpr int kDefaultStart = 52;
inline constexpr int kLengthMin = 1;
inline constexpr int kLengthMax = 8;
inline constexpr int kDefaultLength = 8;
inline constexpr int kIntervalMinMs = 1;
inline constexpr int kIntervalMaxMs = 100000;
inline constexpr int kDefaultIntervalMs = 5000;

inline const QString kStartMessage
    = QStringLiteral("Wrong value. Enter a valid address value, between 1 to 9999 (default value 52)");
inline const QString kLengthMessage
    = QStringLiteral("Wrong value. Enter a valid lenght value, between 1 to 8 (default value 8)");
inline const QString kIntervalMessage = QStringLiteral(
    "Illegal Interval Value.\nEnter valid Interval Value, from 1 to 100000 msec (default value 5000)");

// Checks of the start, length and interval boxes: the accepted number, or the message shown and
// the default put back.
RangeDecision SetMBStartAddText_Change(const QString& text, Prompter& prompter);
RangeDecision SetMBLengthText_Change(const QString& text, Prompter& prompter);
RangeDecision SetPeriodicalTankHeightText_Change(const QString& text, Prompter& prompter);

} // namespace velto::config
