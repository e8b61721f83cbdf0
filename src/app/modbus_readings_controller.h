#pragma once

#include "app/main_context.h"
#include "modbus/debounced_text_check.h"
#include "modbus/single_sensor_poller.h"
#include "modbus/two_sensor_alternation.h"
#include "veltoproto/address_entry.h"

#include <QLineEdit>
#include <QObject>

namespace velto::app {

// The Orvix register mode's live panels: the single-sensor cycle on TimerModbusDataUpdate, the
// two-sensor alternation, the time-out boxes, the address boxes, counters and the tank picture.
class ModbusReadingsController : public QObject {
    Q_OBJECT
public:
    explicit ModbusReadingsController(MainContext& ctx, QObject* parent = nullptr);

    modbus::SingleSensorPoller& poller() { return m_poller; }

    // The readings were reset to "N/A" while disconnected.
    void readingsReset();
    // The Orvix register mode was entered: the address boxes are checked by the Modbus rule and the
    // tank is redrawn from the boxes as they stand.
    void modbusModeEntered();
    void IrLevel_Change();
    void TxtOrvixId_Change();
    void TxtOrvix2Id_Change();
    // Another device is polled, or none: the volume/flow/totalizer row is emptied and hidden until a
    // static group shows it again, so neither the panel nor the log carries the last device's value.
    void forgetFlowColumn();

private:
    void TimerModbusDataUpdate_Timer();
    void TimerForJump2DevicesModbus_Timer();
    void NoOfUnitCombo_Click();
    void blink(bool on);
    // Both address boxes back to their own background: the alternation no longer runs.
    void clearSensorHighlight();
    void showCounters(int polls, int valid, int timeouts);
    void applyTimeouts(bool receive, const QString& text);
    void applyAddressEntry(QLineEdit* box, const veltoproto::AddressEntry& entry);

    MainContext& m_ctx;
    modbus::SingleSensorPoller m_poller;
    modbus::TwoSensorAlternation m_alternation;
    modbus::DebouncedTextCheck m_xmtCheck;
    modbus::DebouncedTextCheck m_rcvCheck;
};

} // namespace velto::app
