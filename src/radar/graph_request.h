#pragma once

#include "radar/monitoring_reply.h"
#include "radar/radar_command.h"

#include <QList>
#include <QMetaType>

namespace velto::radar {

// What DrawFFT plots from an accepted monitoring reply.
struct GraphRequest {
    MonitoringKind kind = MonitoringKind::Spectrum;
    QList<int> values; // spectrumBins or rawSamples
    qint32 rawMin = 0;
    qint32 rawMax = 0;
    bool combined = false; // both data kinds ticked
    BlockRange fft;
    BlockRange raw;
};

} // namespace velto::radar

Q_DECLARE_METATYPE(velto::radar::GraphRequest)
