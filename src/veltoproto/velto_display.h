#pragma once

#include "common/box_update.h"
#include "veltoproto/reply_unpacker.h"
#include "veltoproto/velto_state.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace velto::veltoproto {

// Everything one read asks of the panel, in the order it is to be applied.
struct DisplayUpdate {
    QList<BoxUpdate> boxes;
    // Set when the read selected a layout; the boxes then already hold its visibility changes.
    std::optional<Layout> layout;
    // The layout and status steps ran: an accepted reply, or a frame of another length re-applying
    // the kept fields of the last accepted one. Says nothing about this read's own data.
    bool applied = false;
    // This read was one reply that passed every check (frame, length, checksum, protocol digit,
    // fields). Only this counts as an answer.
    bool accepted = false;
};

enum class LengthUnit { Meter, Inch, Feet };
using SensorUnits = std::array<std::optional<LengthUnit>, kSensorCount>;

inline constexpr int kFrameWidthSingle = 217;
inline constexpr int kFrameWidthTwoSensors = 430;

// The unit selector's text ("Meter", "Inch", "Feet"); empty for anything else, which leaves the
// length boxes as they are.
std::optional<LengthUnit> lengthUnitFromText(QStringView selectorText);

// Millimetres as shown: metres in general number format, inches "####.000", feet "###.000". The
// decimal point is always "." so the comma-separated log stays parseable.
QString formatLength(qint32 millimetres, LengthUnit unit);

// The second column's visibility, the first column's caption, the panel width, the tank position.
QList<BoxUpdate> layoutUpdates(Layout layout);

// "O.K", "Full" and so on; empty for a digit without a text of its own.
std::optional<QString> statusText(quint8 status);
// The status box of a sensor (0 or 1); empty for a digit without a text of its own.
std::optional<BoxUpdate> statusUpdate(int sensor, quint8 status);

// Distance, tank height, level and temperature of one sensor with their unit labels.
QList<BoxUpdate> sensorValueUpdates(const VeltoState& state, int sensor, std::optional<LengthUnit> unit);

// The panel changes after one read: layout, status, then the values of the sensor the kept sensor
// index names (refreshed whether or not the reply was accepted).
DisplayUpdate displayForRead(const UnpackResult& result, const VeltoState& state, const SensorUnits& units);

inline const QString kNoResponse = QStringLiteral("No Response");

// A tick whose requests all went unanswered: "No Response" in the status box of each sensor the
// layout shows, bold red, until the next accepted reply puts its own status there.
QList<BoxUpdate> noResponseUpdates(const VeltoState& state);

// The whole panel as the state stands: layout, shown statuses, the first sensor's values and, in the
// two-sensor layout, the second's.
QList<BoxUpdate> panelSnapshot(const VeltoState& state, const SensorUnits& units);

} // namespace velto::veltoproto
