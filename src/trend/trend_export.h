#pragma once

#include "trend/trend_store.h"

#include <QImage>
#include <QTimeZone>
#include <optional>

class QIODevice;

namespace velto::trend {

inline const QString kCsvHeader = QStringLiteral("time,series,value");

// One row per sample of each series, in time order, under the header: ISO 8601 time with its UTC
// offset and milliseconds, the series' label, the value; a failed poll has an empty value (never a
// zero), and the ends of polling runs are left out. False when the device failed.
bool writeCsv(QIODevice& device, const TrendStore& store, const QList<int>& series, const QTimeZone& zone);

// Written whole or not at all; the reason when the file could not be written.
std::optional<QString> saveCsv(
    const QString& path, const TrendStore& store, const QList<int>& series, const QTimeZone& zone);
std::optional<QString> savePicture(const QString& path, const QImage& picture);

} // namespace velto::trend
