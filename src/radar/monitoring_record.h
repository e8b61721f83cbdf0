#pragma once

#include <QString>
#include <QStringList>

namespace velto::radar {

// The header record of a measurement series as the monitoring files start with it: the series
// number, its length, the reference distance, the data kinds, then a time and a distance per
// measurement (filled as the measurements arrive).
struct MonitoringRecord {
    static constexpr int kSeriesBase = 1000000;

    int seriesNumber = kSeriesBase; // kSeriesBase + seriesIndex before this series advanced it
    int measurements = 0; // NumOfAutomeasurementText
    QString laserDistance = QStringLiteral("0.0000");
    QString mode = QStringLiteral("Mode 0");
    QStringList times; // "#####.000"
    QStringList distances; // "#0.0000"

    // "Mode 0" none, "Mode 1" spectrum only, "Mode 2" time domain only, "Mode 3" both.
    static QString modeFor(bool spectrum, bool timeDomain);
    // "#0.0000", "0.0000" when empty; text that is not a number is kept as typed.
    static QString laserDistanceFor(const QString& typed);

    // One value per line: the four header entries, then time and distance per measurement.
    QStringList lines() const;
};

} // namespace velto::radar
