#include "ui/port_setup_window.h"

#include "common/prompter.h"
#include "ui/network_line_box.h"
#include "ui_port_setup_window.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>

namespace velto::ui {

PortSetupWindow::PortSetupWindow(serial::SerialState& state, const QList<serial::PortChoice>& freePorts,
    const QList<serial::PortChoice>& extraChoices, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_prompter(prompter)
    , m_ui(std::make_unique<Ui::PortSetup>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_state.FreePorts = freePorts + extraChoices;
    // No port found: say so, but stay open; the box is editable and an adapter may be plugged in.
    if (freePorts.isEmpty())
        prompter.message(QString::fromLatin1(kNoPortMessage));
    addNetworkLine();
    fillLists();
    connect(m_ui->btnOKPortSetUp, &QPushButton::clicked, this, &PortSetupWindow::onOk);
    // Enter confirms, as in a dialog: in the port box (which keeps a typed path out of the list) and
    // anywhere else in the window.
    connect(m_ui->cmbPortNum->lineEdit(), &QLineEdit::returnPressed, this, &PortSetupWindow::onOk);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &PortSetupWindow::onCancel);
}

PortSetupWindow::~PortSetupWindow()
{
    // Closing the window by its frame counts as Cancel.
    if (!m_done)
        emit cancelled();
}

void PortSetupWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        onOk();
        return;
    }
    // And Escape cancels.
    if (event->key() == Qt::Key_Escape) {
        onCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PortSetupWindow::addNetworkLine()
{
    // Below the settings, above the buttons.
    m_network = new NetworkLineBox(this);
    QGridLayout* grid = m_ui->PortSetupLayout;
    const int row = grid->rowCount();
    grid->addWidget(m_network, row, 0, 1, 2);
    for (QWidget* button :
        { static_cast<QWidget*>(m_ui->btnOKPortSetUp), static_cast<QWidget*>(m_ui->btnCancel) }) {
        const int column = button == m_ui->btnOKPortSetUp ? 0 : 1;
        grid->removeWidget(button);
        grid->addWidget(button, row + 1, column);
    }
    m_state.FreePorts.append({ QString(), QString::fromLatin1(kNetworkEntry), false });
    m_networkEntry = int(m_state.FreePorts.size()) - 1;
    m_network->setAddress(m_state.networkAddress);
    m_network->setEnabled(false);
    connect(m_ui->cmbPortNum, &QComboBox::currentIndexChanged, this,
        [this] { m_network->setEnabled(networkChosen()); });
    connect(m_ui->cmbPortNum, &QComboBox::currentTextChanged, this,
        [this] { m_network->setEnabled(networkChosen()); });
}

bool PortSetupWindow::networkChosen() const
{
    return m_ui->cmbPortNum->currentText() == QLatin1String(kNetworkEntry);
}

void PortSetupWindow::fillLists()
{
    for (const auto& port : std::as_const(m_state.FreePorts))
        m_ui->cmbPortNum->addItem(port.displayText);
    m_ui->cmbBPS->addItems({ "9600", "19200", "38400", "57600", "115200" });
    m_ui->cmbDataBit->addItems({ "8" });
    m_ui->cmbParity->addItems({ "none" });
    m_ui->cmbStopBit->addItems({ "1", "2" });
    m_ui->CommunicationTypeCombo->addItems({ "RS232", "RS485" });
    m_ui->CommunicationTypeCombo->setCurrentIndex(0);
    m_ui->cmbTypeProtocol->addItems({ "Mod Bus", "VELTO" });
    m_ui->cmbTypeProtocol->setCurrentIndex(0);

    QComboBox* lists[]
        = { m_ui->cmbPortNum, m_ui->cmbBPS, m_ui->cmbDataBit, m_ui->cmbParity, m_ui->cmbStopBit };
    if (m_state.SettingsSaved) {
        for (int i = 0; i < 5; ++i) {
            const int pos = m_state.SavedListPositions[size_t(i)];
            if (pos >= 0 && pos < lists[i]->count())
                lists[i]->setCurrentIndex(pos);
        }
        if (!m_state.typedPort.isEmpty() && m_state.typedPort == m_state.networkAddress)
            m_ui->cmbPortNum->setCurrentIndex(m_networkEntry);
        else if (!m_state.typedPort.isEmpty())
            m_ui->cmbPortNum->setCurrentText(m_state.typedPort);
        m_ui->chkRemoveEcho->setChecked(m_state.removeEcho);
    } else {
        for (QComboBox* list : lists)
            list->setCurrentIndex(list->count() > 0 ? 0 : -1);
        m_state.PortIndex = 0;
    }
}

void PortSetupWindow::onOk()
{
    if (m_done)
        return;
    QString portText = m_ui->cmbPortNum->currentText().trimmed();
    if (portText.isEmpty()) {
        m_prompter.message(QString::fromLatin1(kNoPortMessage));
        return;
    }
    int listed = m_ui->cmbPortNum->findText(portText);
    if (networkChosen()) {
        const std::optional<serial::NetworkAddress> address = m_network->address();
        if (!address) {
            m_prompter.message(tr("Enter the host name or IP address of the network line"));
            return;
        }
        // The address stands for the entry: it is what the links open and the main window shows.
        portText = address->toString();
        m_state.networkAddress = portText;
    } else if (listed >= 0 && listed < m_state.FreePorts.size() && m_state.FreePorts[listed].replay) {
        portText = startReplay(listed);
        if (portText.isEmpty())
            return;
    } else if (const auto typed = serial::NetworkAddress::parse(portText)) {
        m_state.networkAddress = typed->toString();
    }
    m_state.SettingsSaved = true;
    m_state.PortIndex = listed;
    m_state.typedPort = listed >= 0 && !networkChosen() ? QString() : portText;
    m_state.SavedListPositions = { listed, m_ui->cmbBPS->currentIndex(), m_ui->cmbDataBit->currentIndex(),
        m_ui->cmbParity->currentIndex(), m_ui->cmbStopBit->currentIndex() };
    m_state.SerialSettings = m_ui->cmbBPS->currentText() + ',' + m_ui->cmbParity->currentText().left(1) + ','
        + m_ui->cmbDataBit->currentText() + ',' + m_ui->cmbStopBit->currentText();
    m_state.removeEcho = m_ui->chkRemoveEcho->isChecked();

    const ShownTexts texts { portText, m_ui->cmbBPS->currentText(), m_ui->cmbDataBit->currentText(),
        m_ui->cmbParity->currentText(), m_ui->cmbStopBit->currentText(),
        m_ui->CommunicationTypeCombo->currentText() };
    m_done = true;
    emit confirmed(texts);
    close();
}

QString PortSetupWindow::startReplay(int index)
{
    const QString file = m_prompter.openFileName(QStringLiteral("Replay a Recorded Session"),
        QString::fromLatin1(kSessionFilter), QString::fromLatin1(kSessionFilter));
    if (file.isEmpty())
        return {};
    QString error = QStringLiteral("no replay in this program");
    const QString device = m_replayStarter ? m_replayStarter(file, error) : QString();
    if (device.isEmpty()) {
        m_prompter.message(QStringLiteral("The session %1 cannot be replayed: %2").arg(file, error),
            windowTitle(), Prompter::Icon::Warning);
        return {};
    }
    m_state.FreePorts[index].location = device;
    return QStringLiteral("Replay of %1").arg(QFileInfo(file).fileName());
}

void PortSetupWindow::onCancel()
{
    m_done = true;
    emit cancelled();
    close();
}

} // namespace velto::ui
