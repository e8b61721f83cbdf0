#include "app/about_window.h"

#include "common/prompter.h"
#include "ui/logo.h"
#include "ui/screen_fit.h"
#include "ui_about_window.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QProcess>
#include <QSettings>

namespace velto::app {

namespace {
constexpr QSize kAboutSize(600, 460);

struct ModelRow {
    const char* model;
    const char* version;
    const char* protocols;
};
constexpr ModelRow kModels[] = {
    { "Orvix25", "2082", "ModBus and VeltoProtocol" },
    { "Pellan", "3082", "ModBus and VeltoProtocol" },
    { "Orvix50", "5147", "bi-directional Modbus and VeltoProtocol" },
    { "Orvix50 H", "xxx", "VeltoProtocol and Calibration" },
    { "RendoScan", "xxx", "Velto Protocol" },
    { "Taliq 4 Wire", "\u2014", "Debug Mode" },
};

// The host's system information tool, where the host has one.
QString systemInfoProgram()
{
#ifdef Q_OS_WIN
    QSettings tools(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
        QSettings::NativeFormat);
    const QString path = tools.value(QStringLiteral("PATH")).toString();
    if (!path.isEmpty())
        return path;
    QSettings location(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location"),
        QSettings::NativeFormat);
    const QString dir = location.value(QStringLiteral("MSINFO")).toString();
    if (!dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("\\MSINFO32.EXE")))
        return dir + QStringLiteral("\\MSINFO32.EXE");
#endif
    return {};
}
} // namespace

AboutWindow::AboutWindow(Prompter& prompter, QString modbusAboutText, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_prompter(prompter)
    , m_modbusAbout(std::move(modbusAboutText))
    , m_ui(std::make_unique<Ui::frmAbout>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->picIcon->setPixmap(ui::veltoLogo(64));

    QTableWidget* table = m_ui->ModelTable;
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({ tr("Model"), tr("Version"), tr("Protocols") });
    table->setRowCount(int(std::size(kModels)));
    for (int row = 0; row < int(std::size(kModels)); ++row) {
        const ModelRow& m = kModels[row];
        table->setItem(row, 0, new QTableWidgetItem(QString::fromUtf8(m.model)));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(m.version)));
        table->setItem(row, 2, new QTableWidgetItem(QString::fromUtf8(m.protocols)));
    }
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->resizeColumnsToContents();
    resize(kAboutSize);
    ui::fitToScreenOnShow(this);

    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] {
        emit closedByOk();
        close();
    });
    connect(m_ui->SMRXAboutCommand, &QPushButton::clicked, this, [this] {
        m_prompter.message(m_modbusAbout, QStringLiteral("SMRX About"), Prompter::Icon::Information);
    });
    connect(m_ui->cmdSysInfo, &QPushButton::clicked, this, &AboutWindow::StartSysInfo);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::StartSysInfo()
{
    const QString program = systemInfoProgram();
    if (program.isEmpty() || !QProcess::startDetached(program, {}))
        m_prompter.message(QString::fromLatin1(kNoSysInfo));
}

} // namespace velto::app
