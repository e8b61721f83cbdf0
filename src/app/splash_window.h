#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

namespace Ui {
class VeltoImage;
}

namespace velto::app {

// The start-up window VeltoImage: shown for two seconds, then it hands over and closes itself.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kShowMs = 2000;

    explicit SplashWindow(QWidget* parent = nullptr);
    ~SplashWindow() override;

    QTimer* const Timer1;

signals:
    void finished();

private:
    std::unique_ptr<Ui::VeltoImage> m_ui;
};

} // namespace velto::app
