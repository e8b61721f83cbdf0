#pragma once

#include "common/box_update.h"
#include "radar/radar_command.h"

#include <QList>
#include <QMetaType>

namespace velto::radar {

// One judged reply, for the measurement sequence.
struct JudgedReply {
    RadarCommand command = RadarCommand::SendStatus;
    bool accepted = false;
    // Header found but the reply ends early: Timer_Rx keeps running and looks again.
    bool incomplete = false;
    quint16 code = 0; // of an accepted reply: the command's, or for monitoring the other kind's
    MonitoringKind kind = MonitoringKind::Spectrum;
    bool fileFailed = false;
    // What the reply changed in the window, e.g. for a command-line line.
    QList<BoxUpdate> boxes;
};

} // namespace velto::radar

Q_DECLARE_METATYPE(velto::radar::JudgedReply)
