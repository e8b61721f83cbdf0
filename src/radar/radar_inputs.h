#pragma once

#include "radar/monitoring_reply.h"
#include "radar/radar_fields.h"
#include "radar/radar_frame.h"

#include <QString>

namespace velto::radar {

// What the radar window's boxes hold once their checks have settled, and its check boxes.
struct RadarInputs {
    RadarParameters parameters;
    qint64 rtsDelayCount = 250000;
    double distanceOffsetM = 0;
    int numOfAutomeasurement = 5;
    BlockRange fft { 1, 4 };
    BlockRange raw { 9, 12 };
    bool periodical = false; // PeriodicalMeasurementCheck
    bool spectrum = false; // SpectrumCheck
    bool timeDomain = false; // TimeDomainCheck
    bool graph = false; // PresentCheck
    bool saveToFile = true; // OpenMonitoringFileCheck
    int fileTypeIndex = 0; // FileTypeCombo
    QString fileName = QStringLiteral("Data_date_001.txt");
    QString distanceByLaser; // DistanceByLaserText as typed
};

// Puts the settled value of a checked box where the logic reads it.
void applyField(RadarInputs& inputs, const FieldRule& rule, double value);

} // namespace velto::radar
