#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class frmAbout;
}

namespace velto {
class Prompter;
}

namespace velto::app {

// frmAbout: the application's identity, the supported models, and the Modbus stack's own about box.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kNoSysInfo = "System Information Is Unavailable At This Time";

    AboutWindow(Prompter& prompter, QString modbusAboutText, QWidget* parent = nullptr);
    ~AboutWindow() override;

    Ui::frmAbout& form() { return *m_ui; }

signals:
    void closedByOk();

private:
    void StartSysInfo();

    Prompter& m_prompter;
    QString m_modbusAbout;
    std::unique_ptr<Ui::frmAbout> m_ui;
};

} // namespace velto::app
