#pragma once

#include "config/preset_block.h"
#include "modbus/modbus_result.h"

#include <QObject>
#include <QQueue>

#include <functional>

namespace velto {
class Prompter;
}
namespace velto::modbus {
class ModbusMaster;
}

namespace velto::config {

inline const QString kDeviceInConfiguration = QStringLiteral("Device in Configuration");

inline constexpr int kProbeStartRegister = 51;
inline const QList<quint16> kProbeBuffer { 1, 1, 1, 0, 0 };
inline constexpr int kIllegalAddressRegister = 63; // outside the map on purpose
inline constexpr quint16 kIllegalAddressValue = 1;
inline constexpr quint16 kPeriodicHighValue = 10000;
inline constexpr quint16 kPeriodicLowValue = 11000;

// The configuration writes, block presets and protocol probes on the shared Modbus master. Inputs
// come in as the window's texts; refusals are shown through the prompter before anything is sent,
// outcomes come back as signals.
//
// The master carries one request at a time. A command issued while it is busy (a poll, or an
// earlier command) is queued and sent as soon as the master is free, so no click is lost; a
// periodic tank-height tick that finds its previous write still waiting is skipped instead.
class ConfigController : public QObject {
    Q_OBJECT
public:
    using SlaveId = std::function<quint16()>;
    using CountResult = std::function<void(const modbus::ModbusResult&)>;

    ConfigController(modbus::ModbusMaster& master, Prompter& prompter, SlaveId currentSlaveId,
        CountResult countResult, QObject* parent = nullptr);

    // The six single writes; false when the input was refused (its message shown, nothing sent).
    bool SetTankHeightCommand_Click(const QString& text);
    bool SetSbdCommand_Click(const QString& text);
    bool SetMeasurementUnitCommand_Click(const QString& listText);
    bool SetIndicationModeComman_Click(const QString& listText);
    bool Set4mACommand_Click(const QString& text);
    bool Set20mACommand_Click(const QString& text);

    bool PresetMultipleRegsCommand_Click(const BlockInputs& inputs);
    // slave: the address box as read at the click; the write goes there.
    bool SelectedPresetMultipleRegistersCommand_Click(
        const BlockInputs& inputs, const QString& startText, const QString& lengthText, quint16 slave);

    void CheckIllegalFunctionCommand_Click();
    void CheckIllegalDataAddressCommand_Click();

    // One tick of the periodic writer: 10000 and 11000 to R51 by turns.
    void SetTankHeight1000TimesTimer_Timer();
    bool PeriodicTankHeightHigh() const { return m_periodicHigh; }
    void setPeriodicTankHeightHigh(bool high) { m_periodicHigh = high; }

    quint16 currentSlaveId() const { return m_slaveId(); }

    // Requests waiting for the master, not counting the one in flight.
    int queued() const { return int(m_queue.size()); }
    // The line is gone (Disconnect, or the master lost it): what still waits is forgotten, so it is
    // neither sent to a later line nor counted as a failed poll. The request in flight, if any, ends
    // with the master's own result.
    void dropQueued() { m_queue.clear(); }
    bool requestInFlight() const { return m_inFlight; }

signals:
    // ModBusErrorMessageLabel_TextBox after each request.
    void errorTextChanged(const QString& text);
    // A typed code was refused and its list is to be emptied.
    void measurementUnitCleared();
    void indicationModeCleared();
    // After the common handling, for watchers and tests.
    void commandFinished(const velto::modbus::ModbusResult& result);

private:
    enum class Op { WriteOne, WriteMany, Probe };
    struct Request {
        Op op;
        quint16 slave;
        int start;
        QList<quint16> values;
        bool showsDeviceInConfiguration;
        bool periodic;
    };

    void submit(Request request);
    void drain();
    void issue(const Request& request);
    void finish(const Request& request, const modbus::ModbusResult& result);
    bool refuse(const QString& message);
    bool writeOne(int reg, quint16 value);
    bool writeBlock(const BlockWords& block, quint16 slave);

    modbus::ModbusMaster& m_master;
    Prompter& m_prompter;
    SlaveId m_slaveId;
    CountResult m_countResult;
    QQueue<Request> m_queue;
    bool m_inFlight = false;
    bool m_drainScheduled = false;
    bool m_periodicHigh = true;
};

} // namespace velto::config
