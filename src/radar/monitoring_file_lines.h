#pragma once

#include "radar/monitoring_record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>

namespace velto::radar {

// The send and receive times of one monitoring request, in ms since the window was loaded.
struct RequestTimes {
    qint64 sendMs = 0;
    qint64 receiveMs = 0;
};

// The lines of the monitoring files: the series record, then the data of the kind and the times of
// its request ("12.5": a time as it was stored).
QStringList spectrumFileLines(const MonitoringRecord& record, QByteArrayView payload, RequestTimes times);
QStringList timeDomainFileLines(
    const MonitoringRecord& record, const QList<qint32>& fileSamples, RequestTimes times);

// Every line followed by CR LF.
QByteArray crLfText(const QStringList& lines);

} // namespace velto::radar
