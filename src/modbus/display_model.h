#pragma once

#include "common/box_update.h"
#include "modbus/register_map.h"

#include <QList>
#include <QString>

namespace velto::modbus {

enum class GroupKind { Static, Dynamic, Information };

RegisterGroup registerGroup(GroupKind kind);

// Turns the words of a successful group read into the main window's box updates, in the order the
// window applies them. It keeps the unit and indication-mode texts the window shows, because a
// group is decoded with the unit and mode as they stood when it arrived: the static group takes
// its new unit before scaling but its 4/20 mA points still use the previous mode.
class DisplayModel {
public:
    // A short word list (not a complete group) gives no updates and leaves the state alone.
    QList<BoxUpdate> decode(GroupKind kind, const QList<quint16>& words);
    QList<BoxUpdate> decodeStatic(const QList<quint16>& words);
    QList<BoxUpdate> decodeDynamic(const QList<quint16>& words);
    QList<BoxUpdate> decodeInformation(const QList<quint16>& words);

    // The readings reset of a disconnected window: "N/A" in every Modbus reading and information
    // box, normal weight, status and relay labels back to the system text colour. Until the next
    // valid unit and mode arrive, lengths and the flow value are not decoded.
    QList<BoxUpdate> notAvailable();

    // Text of IrMeasurementUnit; empty until a valid unit has been read.
    QString unitText() const { return m_unitText; }
    // Text of IndicationModeText; empty until a valid mode has been read.
    QString indicationModeText() const { return m_modeText; }
    // For a window that resets its boxes (e.g. to "N/A"): the model then decodes with that text.
    void setUnitText(const QString& text) { m_unitText = text; }
    void setIndicationModeText(const QString& text) { m_modeText = text; }

private:
    QString m_unitText;
    QString m_modeText;
};

} // namespace velto::modbus
