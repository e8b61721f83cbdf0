#pragma once

#include "traffic/modbus_log_event.h"

#include <QObject>

namespace velto::traffic {

// The bytes Qt's RTU client puts on the line and takes off it, from its own log: while a tap
// exists, the debug output of "qt.modbus" and "qt.modbus.lowlevel" is switched on and the client's
// messages about its port come out as events here. Messages nobody asked to see are kept off the
// console; everything else goes on to the message handler that was there before. Only one tap at a
// time: the log is the process's.
//
// What it cannot show: bytes that arrive while no request is waiting (the client drops them
// unlogged), and times finer than when the client got round to logging.
class ModbusLogTap : public QObject {
    Q_OBJECT
public:
    explicit ModbusLogTap(QObject* parent = nullptr);
    ~ModbusLogTap() override;

    // False when another tap already held the log; this one then reports nothing.
    bool isActive() const { return m_active; }

signals:
    void logged(const velto::traffic::ModbusLogEvent& event);

private:
    bool m_active = false;
};

} // namespace velto::traffic

Q_DECLARE_METATYPE(velto::traffic::ModbusLogEvent)
