#pragma once

#include "radar/combined_monitoring_data.h"
#include "radar/radar_file_sink.h"

#include <QStringList>

#include <functional>

namespace velto::radar {

// The monitoring files of a run: the first write of a run replaces the file, later writes (and a
// "More" series) append to it. A write either lands whole or leaves the file as it was; a failure
// shows the four-line message.
class MonitoringFiles final : public RadarFileSink {
public:
    static const QString kFileErrorMessage;

    using ErrorReporter = std::function<void(const QString& message)>;

    // `folder` ends with a separator; it is created when missing.
    MonitoringFiles(QString folder, ErrorReporter reportError);

    Result writeRecord(const RadarInputs& inputs, const MonitoringRecord& record, bool append) override;
    Result writeMonitoring(const RadarInputs& inputs, const MonitoringRecord& record,
        const MonitoringReply& reply, MonitoringKind kind, qint64 sendMs, qint64 receiveMs,
        bool append) override;

    const QString& folder() const { return m_folder; }
    void setFolder(const QString& folder) { m_folder = folder; }
    // The file the last successful write went to.
    const QString& lastPath() const { return m_lastPath; }

private:
    Result write(const RadarInputs& inputs, const QStringList& lines, bool append);
    Result fail();

    QString m_folder;
    ErrorReporter m_reportError;
    CombinedMonitoringData m_combined;
    QString m_lastPath;
};

} // namespace velto::radar
