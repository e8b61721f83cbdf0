#pragma once

#include <QString>

// Box names of the radar window.
namespace velto::radar::box {

inline const QString kModeText = QStringLiteral("ModeText");
inline const QString kTextTerminaTextBox = QStringLiteral("TextTerminaTextBox");
inline const QString kReceiveBuffSize = QStringLiteral("ReceiveBuffSize");
inline const QString kStatusText = QStringLiteral("StatusText");
inline const QString kSignalToNoiseText = QStringLiteral("SignalToNoiseText");
inline const QString kDistanceOrLevelText = QStringLiteral("DistanceOrLevelText");
inline const QString kDistanceAfterOffsetText = QStringLiteral("DistanceAfterOffsetText");
inline const QString kDistanceOrLevelLabel = QStringLiteral("DistanceOrLevelLabel");
inline const QString kCounterOfMeasText = QStringLiteral("CounterOfMeasText");
inline const QString kMoreIndexText = QStringLiteral("MoreIndexText");

} // namespace velto::radar::box
