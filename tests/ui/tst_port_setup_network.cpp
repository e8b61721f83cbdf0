#include "serial/port_link.h"
#include "support/fake_prompter.h"
#include "ui/port_setup_window.h"
#include "ui_port_setup_window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using velto::serial::SerialState;
using velto::ui::PortSetupWindow;

// Port Setup's network line: the address it gives is what the main window shows and the links
// open, and it is offered again at the next Connect.
class TstPortSetupNetwork : public QObject {
    Q_OBJECT
private slots:
    void networkLineChosen_data();
    void networkLineChosen();
    void portLinkTakesEveryKindOfAddress_data();
    void portLinkTakesEveryKindOfAddress();
};

void TstPortSetupNetwork::networkLineChosen_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("kind"); // position in the kind box
    QTest::addColumn<QString>("address"); // shown and opened; empty when OK is refused

    QTest::newRow("raw") << "192.168.1.20" << 4001 << 0 << "tcp://192.168.1.20:4001";
    QTest::newRow("RFC 2217") << "gateway.plant" << 2217 << 1 << "rfc2217://gateway.plant:2217";
    QTest::newRow("Modbus TCP") << "10.0.0.7" << 502 << 2 << "mbtcp://10.0.0.7:502";
    QTest::newRow("IPv6") << "fe80::1" << 4001 << 1 << "rfc2217://[fe80::1]:4001";
    QTest::newRow("no host") << "  " << 4001 << 0 << "";
    QTest::newRow("a host the address cannot hold") << "bad host" << 4001 << 0 << "";
}

void TstPortSetupNetwork::networkLineChosen()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, kind);
    QFETCH(QString, address);
    SerialState state;
    velto::test::FakePrompter prompter;
    const QList<velto::serial::PortChoice> ports { { "/dev/ttyFAKE0", "/dev/ttyFAKE0", false } };

    auto* window = new PortSetupWindow(state, ports, {}, prompter);
    QStringList confirmed; // the port text of each OK
    connect(window, &PortSetupWindow::confirmed, this,
        [&confirmed](const PortSetupWindow::ShownTexts& texts) { confirmed << texts.port; });
    Ui::PortSetup& p = window->form();
    auto* hostBox = window->findChild<QLineEdit*>("txtNetworkHost");
    auto* portBox = window->findChild<QSpinBox*>("txtNetworkPort");
    auto* kindBox = window->findChild<QComboBox*>("cmbNetworkKind");
    QVERIFY(hostBox && portBox && kindBox);
    QVERIFY(!hostBox->isEnabled());
    const int entry = p.cmbPortNum->findText(PortSetupWindow::kNetworkEntry);
    QCOMPARE(entry, 1);
    p.cmbPortNum->setCurrentIndex(entry);
    QVERIFY(hostBox->isEnabled());
    hostBox->setText(host);
    portBox->setValue(port);
    kindBox->setCurrentIndex(kind);
    QTest::mouseClick(p.btnOKPortSetUp, Qt::LeftButton);

    if (address.isEmpty()) {
        QCOMPARE(confirmed.size(), 0);
        QCOMPARE(prompter.messages.size(), 1);
        QVERIFY(prompter.messages.first().text.contains("host"));
        delete window;
        return;
    }
    QCOMPARE(confirmed.size(), 1);
    QCOMPARE(confirmed.first(), address);
    QCOMPARE(state.chosenPort().location, address);

    // Offered again; a serial port chosen meanwhile keeps the address in the fields.
    auto* again = new PortSetupWindow(state, ports, {}, prompter);
    QCOMPARE(again->form().cmbPortNum->currentIndex(), entry);
    QCOMPARE(again->findChild<QLineEdit*>("txtNetworkHost")->text(), host);
    QCOMPARE(again->findChild<QSpinBox*>("txtNetworkPort")->value(), port);
    again->form().cmbPortNum->setCurrentIndex(0);
    QTest::mouseClick(again->form().btnOKPortSetUp, Qt::LeftButton);
    QCOMPARE(state.chosenPort().location, QString("/dev/ttyFAKE0"));
    auto* third = new PortSetupWindow(state, ports, {}, prompter);
    QCOMPARE(third->form().cmbPortNum->currentIndex(), 0);
    QCOMPARE(third->findChild<QLineEdit*>("txtNetworkHost")->text(), host);
    QCOMPARE(third->findChild<QComboBox*>("cmbNetworkKind")->currentIndex(), kind);
    delete third;
}

void TstPortSetupNetwork::portLinkTakesEveryKindOfAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("opens"); // opening starts; the connection itself comes later
    QTest::addColumn<QString>("error");

    QTest::newRow("serial path") << "/dev/velto-no-such-port" << false
                                 << "Cannot open /dev/velto-no-such-port";
    QTest::newRow("raw TCP") << "tcp://127.0.0.1:9" << true << "";
    QTest::newRow("RFC 2217") << "RFC2217://localhost:9" << true << "";
    QTest::newRow("Modbus TCP is not a byte line") << "mbtcp://127.0.0.1:502" << false << "Modbus TCP only";
    QTest::newRow("no port") << "tcp://127.0.0.1" << false << "tcp://HOST:PORT, rfc2217://HOST:PORT";
    QTest::newRow("unknown scheme") << "udp://127.0.0.1:9" << false << "tcp://HOST:PORT, rfc2217://HOST:PORT";
}

void TstPortSetupNetwork::portLinkTakesEveryKindOfAddress()
{
    QFETCH(QString, address);
    QFETCH(bool, opens);
    QFETCH(QString, error);
    velto::serial::PortLink link;
    QCOMPARE(link.open(address, "9600,n,8,1"), opens);
    QCOMPARE(link.isOpen(), opens);
    QVERIFY2(link.errorText().contains(error), qPrintable(link.errorText()));
    link.close();
    QVERIFY(!link.isOpen());
}

QTEST_MAIN(TstPortSetupNetwork)
#include "tst_port_setup_network.moc"
