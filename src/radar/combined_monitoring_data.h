#pragma once

#include "radar/monitoring_file_lines.h"

#include <QList>
#include <QStringList>

namespace velto::radar {

// FFTandRAWdata: gathers the spectrum and then the time-domain result of the combined process into
// one list of 4096 + 7243 values, with the times of both requests, for the combined file.
class CombinedMonitoringData {
public:
    static constexpr qsizetype kSize = 4096 + 7243;

    // A spectrum starts the list afresh.
    void addSpectrum(QByteArrayView payload, RequestTimes times);
    // Completes the list; true when it is full and the file is due. Samples without a spectrum
    // before them are not taken, so no file ever mixes runs or holds the samples twice.
    bool addTimeDomain(const QList<qint32>& fileSamples, RequestTimes times);
    // The combined file: the record, the spectrum and its times, the samples and their times.
    QStringList lines(const MonitoringRecord& record) const;
    void clear();
    qsizetype size() const { return m_values.size(); }

private:
    QList<qint32> m_values;
    qsizetype m_spectrumSize = 0;
    RequestTimes m_spectrumTimes;
    RequestTimes m_timeDomainTimes;
};

} // namespace velto::radar
