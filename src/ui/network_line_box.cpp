#include "ui/network_line_box.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

namespace velto::ui {

namespace {

constexpr int kMaxTcpPort = 65535;
// In the order of the kind box.
constexpr serial::NetworkKind kKinds[]
    = { serial::NetworkKind::Raw, serial::NetworkKind::Rfc2217, serial::NetworkKind::ModbusTcp };

} // namespace

NetworkLineBox::NetworkLineBox(QWidget* parent)
    : QGroupBox(tr("Network line"), parent)
    , m_host(new QLineEdit(this))
    , m_port(new QSpinBox(this))
    , m_kind(new QComboBox(this))
{
    setObjectName(QStringLiteral("frmNetworkLine"));
    m_host->setObjectName(QStringLiteral("txtNetworkHost"));
    m_host->setPlaceholderText(tr("host name or IP address"));
    m_port->setObjectName(QStringLiteral("txtNetworkPort"));
    m_port->setRange(1, kMaxTcpPort);
    m_port->setValue(kDefaultPort);
    m_kind->setObjectName(QStringLiteral("cmbNetworkKind"));
    m_kind->addItems({ tr("Raw TCP (serial device server)"), tr("RFC 2217 (serial device server)"),
        tr("Modbus TCP (device or gateway)") });
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Host:"), m_host);
    layout->addRow(tr("TCP Port:"), m_port);
    layout->addRow(tr("Kind:"), m_kind);
}

void NetworkLineBox::setAddress(const QString& text)
{
    const std::optional<serial::NetworkAddress> parsed = serial::NetworkAddress::parse(text);
    if (!parsed)
        return;
    m_host->setText(parsed->host);
    m_port->setValue(parsed->port);
    for (int i = 0; i < int(std::size(kKinds)); ++i) {
        if (kKinds[i] == parsed->kind)
            m_kind->setCurrentIndex(i);
    }
}

std::optional<serial::NetworkAddress> NetworkLineBox::address() const
{
    const QString host = m_host->text().trimmed();
    const int kind = m_kind->currentIndex();
    if (host.isEmpty() || kind < 0)
        return std::nullopt;
    // Through the parser, so the box takes exactly what the port box and --port take.
    const serial::NetworkAddress candidate { kKinds[kind], host, quint16(m_port->value()) };
    return serial::NetworkAddress::parse(candidate.toString());
}

} // namespace velto::ui
