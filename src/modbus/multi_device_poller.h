#pragma once

#include "common/box_update.h"
#include "modbus/modbus_result.h"
#include "modbus/poll_counters.h"

#include <QObject>
#include <QStringList>
#include <array>

namespace velto::modbus {

class ModbusMaster;

inline constexpr int kMaxDevices = 5;
inline constexpr int kDeviceValueCount = 8; // R0..R7

// Value boxes of FormMultipleDevicesModbus, device 1..5 by row, in register order R0..R7.
inline constexpr std::array<std::array<const char*, kDeviceValueCount>, kMaxDevices> kDeviceValueBoxes { {
    { "Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8" },
    { "Text22", "Text21", "Text18", "Text16", "Text15", "Text14", "Text13", "Text12" },
    { "Text33", "Text32", "Text31", "Text30", "Text29", "Text28", "Text27", "Text26" },
    { "Text44", "Text43", "Text42", "Text41", "Text40", "Text39", "Text38", "Text37" },
    { "Text55", "Text54", "Text53", "Text52", "Text51", "Text50", "Text49", "Text48" },
} };

// Address boxes ID1Text..ID5Text.
inline constexpr std::array<const char*, kMaxDevices> kDeviceAddressBoxes { "ID1Text", "ID2Text", "ID3Text",
    "ID4Text", "ID5Text" };

// The multi-device poll: each tick of TimerForModbusDevices reads R0..R7 of one device, counting
// down from the highest-numbered device to device 1 and round again.
class MultiDevicePoller : public QObject {
    Q_OBJECT
public:
    explicit MultiDevicePoller(ModbusMaster& master, QObject* parent = nullptr);

    // 1..5 (clamped); NextDeviceIndex starts again at that number.
    void setNumberOfDevices(int count);
    int NumberOfDevices() const { return m_deviceCount; }
    int NextDeviceIndex() const { return m_nextDevice; }

    // The texts of ID1Text..ID5Text; read when the poll reaches that device. A text that names no
    // slave (not a whole number 1..255; 0 is the broadcast address) means the device is passed over
    // on that tick: no request, no counting.
    void setAddressTexts(const QStringList& texts);
    void setAddressText(int device, const QString& text);
    int CurrentSlaveId() const { return m_slaveId; }

    int NumOfPolls() const { return m_counters.polls(); }
    int NumOfResponse() const { return m_counters.valid(); }
    int TimeuotCouterForDevices() const { return m_counters.timeouts(); }
    bool requestInFlight() const { return m_inFlight; }

    // Box names of device 1..5, register order.
    static QStringList valueBoxNames(int device);

public slots:
    // Dropped while a request is still out.
    void tick();
    void resetCounters();

signals:
    // ModbusErrorMessageText after each finished request: the latest failure of a device that still
    // fails (another device's success does not hide it), else that request's own text; the
    // master's text when it loses the line.
    void errorTextChanged(const QString& text);
    void countersChanged(int polls, int valid, int timeouts);
    void currentSlaveIdChanged(int id);
    // Eight texts for device 1..5: the registers as signed decimals, or "0" after a failure.
    void deviceValuesChanged(int device, const QStringList& values);
    // The outcome of each request, for device 1..5 at the address it was sent to.
    void deviceRead(int device, int slaveId, const velto::modbus::ModbusResult& result);
    // The same values as updates of the named boxes.
    void boxesUpdated(const QList<velto::BoxUpdate>& updates);

private:
    void finish(int device, const ModbusResult& result);
    QString shownErrorText(int device, const ModbusResult& result);

    ModbusMaster& m_master;
    QStringList m_addressTexts;
    // Failure texts of the devices whose last read failed, the most recent failure last.
    QList<QPair<int, QString>> m_failing;
    int m_deviceCount = 1;
    int m_nextDevice = 1;
    int m_slaveId = 1;
    bool m_inFlight = false;
    PollCounters m_counters;
};

} // namespace velto::modbus
