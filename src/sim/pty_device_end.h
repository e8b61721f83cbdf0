#pragma once

#include "sim/device_end.h"

#include <memory>

class QSocketNotifier;

namespace velto::sim {

// The device end on the master side of a pseudo-terminal whose slave path the program opens like any
// port. The slave side is held open here so the line survives the program closing and reopening its
// port.
class PtyDeviceEnd final : public DeviceEnd {
    Q_OBJECT
public:
    explicit PtyDeviceEnd(QObject* parent = nullptr);
    ~PtyDeviceEnd() override;

    bool isValid() const override { return m_master >= 0; }
    QString location() const override { return m_devicePath; }
    QString errorText() const override { return m_errorText; }
    qsizetype write(QByteArrayView bytes) override;
    int charactersPerSecond() const override;
    qsizetype unread() const override;

private:
    void onReadable();

    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_devicePath;
    QString m_errorText;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace velto::sim
