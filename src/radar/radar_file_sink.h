#pragma once

#include "radar/monitoring_record.h"
#include "radar/monitoring_reply.h"
#include "radar/radar_command.h"
#include "radar/radar_inputs.h"

#include <QString>

namespace velto::radar {

// Writes the monitoring files of a run. The first write of a run replaces the file; once a write
// has landed, later ones (`append`) add to it. A failure has been reported by the sink itself.
class RadarFileSink {
public:
    struct Result {
        enum class Outcome {
            Nothing, // nothing to write yet, or data of a kind that belongs to no file
            Written,
            Failed,
        };
        Outcome outcome = Outcome::Nothing;
        // The file that the run's first write replaced, else empty.
        QString replacedPath;
    };

    virtual ~RadarFileSink() = default;
    virtual Result writeRecord(const RadarInputs& inputs, const MonitoringRecord& record, bool append) = 0;
    virtual Result writeMonitoring(const RadarInputs& inputs, const MonitoringRecord& record,
        const MonitoringReply& reply, MonitoringKind kind, qint64 sendMs, qint64 receiveMs, bool append)
        = 0;
};

} // namespace velto::radar
