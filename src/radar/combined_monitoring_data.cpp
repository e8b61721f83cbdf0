#include "radar/combined_monitoring_data.h"

#include "radar/monitoring_reply.h"
#include "radar/radar_format.h"

namespace velto::radar {

void CombinedMonitoringData::addSpectrum(QByteArrayView payload, RequestTimes times)
{
    m_values.clear();
    m_values.reserve(kSize);
    for (char byte : payload.first(qMin(payload.size(), qsizetype(kSpectrumBins))))
        m_values.append(quint8(byte));
    m_spectrumSize = m_values.size();
    m_spectrumTimes = times;
}

bool CombinedMonitoringData::addTimeDomain(const QList<qint32>& fileSamples, RequestTimes times)
{
    if (m_spectrumSize != kSpectrumBins || m_values.size() != m_spectrumSize)
        return false;
    m_values.append(fileSamples.first(qMin(fileSamples.size(), kSize - m_values.size())));
    m_timeDomainTimes = times;
    if (m_values.size() == kSize)
        return true;
    // A short sample list cannot complete this run's file; the next spectrum starts over.
    clear();
    return false;
}

QStringList CombinedMonitoringData::lines(const MonitoringRecord& record) const
{
    QStringList out = record.lines();
    out.reserve(out.size() + m_values.size() + 4);
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        out << QString::number(m_values.at(i));
        if (i + 1 == m_spectrumSize)
            out << formatSecondsPlain(m_spectrumTimes.sendMs)
                << formatSecondsPlain(m_spectrumTimes.receiveMs);
    }
    out << formatSecondsPlain(m_timeDomainTimes.sendMs) << formatSecondsPlain(m_timeDomainTimes.receiveMs);
    return out;
}

void CombinedMonitoringData::clear()
{
    m_values.clear();
    m_spectrumSize = 0;
}

} // namespace velto::radar
