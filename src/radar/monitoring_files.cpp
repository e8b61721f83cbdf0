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

bool MonitoringFiles::writeRecord(
    const RadarInputs& inputs, RadarShared& shared, const MonitoringRecord& record)
{
    m_replacedPath.clear();
    return write(inputs, shared, record.lines());
}

bool MonitoringFiles::writeMonitoring(const RadarInputs& inputs, RadarShared& shared,
    const MonitoringRecord& record, const MonitoringReply& reply, MonitoringKind kind, qint64 sendMs,
    qint64 receiveMs)
{
    m_replacedPath.clear();
    const RequestTimes times { sendMs, receiveMs };
    if (inputs.spectrum && inputs.timeDomain) {
        if (kind == MonitoringKind::Spectrum) {
            m_combined.addSpectrum(reply.payload, times);
            return true;
        }
        if (!m_combined.addTimeDomain(reply.rawFileSamples, times))
            return true;
        const QStringList lines = m_combined.lines(record);
        m_combined.clear();
        return write(inputs, shared, lines);
    }
    if (kind == MonitoringKind::Spectrum && inputs.spectrum)
        return write(inputs, shared, spectrumFileLines(record, reply.payload, times));
    if (kind == MonitoringKind::TimeDomain && inputs.timeDomain)
        return write(inputs, shared, timeDomainFileLines(record, reply.rawFileSamples, times));
    // Data of a kind that is not ticked belongs to no file.
    return true;
}

bool MonitoringFiles::write(const RadarInputs& inputs, RadarShared& shared, const QStringList& lines)
{
    if (!m_folder.isEmpty())
        QDir().mkpath(m_folder);
    const QString path = monitoringFilePath(m_folder, inputs.fileName);
    if (QFileInfo(path).isDir())
        return fail(shared);
    const bool replacing = !shared.fileCreated && QFileInfo(path).isFile();
    // The first write of a run replaces the file; later ones append to what the run wrote so far.
    QByteArray text;
    if (shared.fileCreated) {
        QFile existing(path);
        if (!existing.open(QIODevice::ReadOnly))
            return fail(shared);
        text = existing.readAll();
        if (existing.error() != QFileDevice::NoError)
            return fail(shared);
    }
    text += crLfText(lines);
    // Written to a temporary file and renamed into place: a failing write leaves the file untouched.
    WholeFile file(path);
    if (!file.open() || file.device().write(text) != text.size() || !file.commit())
        return fail(shared);
    shared.fileCreated = true;
    shared.fileOk = true;
    m_lastPath = path;
    if (replacing)
        m_replacedPath = path;
    return true;
}

bool MonitoringFiles::fail(RadarShared& shared)
{
    shared.fileOk = false;
    if (m_reportError)
        m_reportError(kFileErrorMessage);
    return false;
}

} // namespace velto::radar
