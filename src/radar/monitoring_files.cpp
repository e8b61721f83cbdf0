#include "radar/monitoring_files.h"

#include "common/whole_file.h"
#include "radar/monitoring_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velto::radar {

const QString MonitoringFiles::kFileErrorMessage
    = QStringLiteral("One of following errors occurred:\r\n"
                     "  1.  Problem to open/write\u2026 file.\r\n"
                     "  2.  There is no file name in 'File Name' field.\r\n"
                     "  3.  Change file name before click 'Stop' button.");

MonitoringFiles::MonitoringFiles(QString folder, ErrorReporter reportError)
    : m_folder(std::move(folder))
    , m_reportError(std::move(reportError))
{
}

RadarFileSink::Result MonitoringFiles::writeRecord(
    const RadarInputs& inputs, const MonitoringRecord& record, bool append)
{
    return write(inputs, record.lines(), append);
}

RadarFileSink::Result MonitoringFiles::writeMonitoring(const RadarInputs& inputs,
    const MonitoringRecord& record, const MonitoringReply& reply, MonitoringKind kind, qint64 sendMs,
    qint64 receiveMs, bool append)
{
    const RequestTimes times { sendMs, receiveMs };
    if (inputs.spectrum && inputs.timeDomain) {
        if (kind == MonitoringKind::Spectrum) {
            m_combined.addSpectrum(reply.payload, times);
            return {};
        }
        if (!m_combined.addTimeDomain(reply.rawFileSamples, times))
            return {};
        const QStringList lines = m_combined.lines(record);
        m_combined.clear();
        return write(inputs, lines, append);
    }
    if (kind == MonitoringKind::Spectrum && inputs.spectrum)
        return write(inputs, spectrumFileLines(record, reply.payload, times), append);
    if (kind == MonitoringKind::TimeDomain && inputs.timeDomain)
        return write(inputs, timeDomainFileLines(record, reply.rawFileSamples, times), append);
    // Data of a kind that is not ticked belongs to no file.
    return {};
}

RadarFileSink::Result MonitoringFiles::write(const RadarInputs& inputs, const QStringList& lines, bool append)
{
    if (!m_folder.isEmpty())
        QDir().mkpath(m_folder);
    const QString path = monitoringFilePath(m_folder, inputs.fileName);
    if (QFileInfo(path).isDir())
        return fail();
    const bool replacing = !append && QFileInfo(path).isFile();
    // The first write of a run replaces the file; later ones append to what the run wrote so far.
    QByteArray text;
    if (append) {
        QFile existing(path);
        if (!existing.open(QIODevice::ReadOnly))
            return fail();
        text = existing.readAll();
        if (existing.error() != QFileDevice::NoError)
            return fail();
    }
    text += crLfText(lines);
    // Written to a temporary file and renamed into place: a failing write leaves the file untouched.
    WholeFile file(path);
    if (!file.open() || file.device().write(text) != text.size() || !file.commit())
        return fail();
    m_lastPath = path;
    return { Result::Outcome::Written, replacing ? path : QString() };
}

RadarFileSink::Result MonitoringFiles::fail()
{
    if (m_reportError)
        m_reportError(kFileErrorMessage);
    return { Result::Outcome::Failed, {} };
}

} // namespace velto::radar
