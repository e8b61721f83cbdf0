#pragma once

#include "serial/network_address.h"

#include <QGroupBox>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace velto::ui {

// Port Setup's network line: host, TCP port and kind of a serial device server or Modbus TCP
// device, given together as one address ("rfc2217://192.168.1.20:4001").
class NetworkLineBox : public QGroupBox {
    Q_OBJECT
public:
    explicit NetworkLineBox(QWidget* parent = nullptr);

    // Fills the fields from an address; a text that is none leaves them as they are.
    void setAddress(const QString& address);
    // The address the fields give, or nothing with no host or a host the address cannot hold.
    std::optional<serial::NetworkAddress> address() const;

    static constexpr int kDefaultPort = 4001;

private:
    QLineEdit* m_host;
    QSpinBox* m_port;
    QComboBox* m_kind;
};

} // namespace velto::ui
