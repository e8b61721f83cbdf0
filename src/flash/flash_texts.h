#pragma once

#include <QByteArray>
#include <QString>

namespace velto::flash {

// The bootloader's commands, sent as they stand with no terminator; all start alike.
inline const QByteArray kCommandPrefix = QByteArrayLiteral(">B");
inline const QByteArray kStartBurnCommand = QByteArrayLiteral(">B0");
inline const QByteArray kTestCommand = QByteArrayLiteral(">B1");
inline const QByteArray kEraseCommand = QByteArrayLiteral(">B4");

// Status texts of FlashBurningStatusText that are not answers of the device.
inline const QString kWaitForSendingText = QStringLiteral("Wait for Sending HEX File");
inline const QString kEraseInProgressText = QStringLiteral("Flash Erase in Progress...");
inline const QString kTestInProgressText = QStringLiteral("Flash Test in Progress...");
inline const QString kRetryFourTimesText = QStringLiteral("Error - Retry Four Times");
inline const QString kBurnSucceededText = QStringLiteral("Flash Burning Succeeded");
// An exchange that cannot prove its answer: a second answer, or bytes while none was due.
inline const QString kOutOfStepText = QStringLiteral("Out of Step");
// Our own message came back instead of an answer; the texts carry the hint to turn on Remove echo.
inline const QString kEchoedText = QStringLiteral("Own Message Echoed");
inline const QString kEchoMark = QStringLiteral("(echo)");
// A burn whose every line was accepted, but whose erase was not confirmed.
inline const QString kBurnWithoutEraseText = QStringLiteral("Flash Burning Ended Without A Successful Erase");

// Message boxes.
inline const QString kBurnErrorText = QStringLiteral("Flash Burning Error Occurs");
inline const QString kErrorStartingTaskText = QStringLiteral("Error starting task ");
inline const QString kErrorTitle = QStringLiteral("Error");

} // namespace velto::flash
