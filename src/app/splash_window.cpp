#include "app/splash_window.h"

#include "ui/logo.h"
#include "ui/screen_fit.h"
#include "ui_splash_window.h"

namespace velto::app {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , Timer1(new QTimer(this))
    , m_ui(std::make_unique<Ui::VeltoImage>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->Logo->setPixmap(ui::veltoLogo(128));
    ui::fitToScreenOnShow(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kShowMs);
    connect(Timer1, &QTimer::timeout, this, [this] {
        emit finished();
        close();
    });
    Timer1->start();
}

SplashWindow::~SplashWindow() = default;

} // namespace velto::app
