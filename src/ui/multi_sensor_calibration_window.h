#pragma once

#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class FormMultiSensorCalibration;
}

namespace velto {
class Prompter;
}

namespace velto::serial {
class ByteLink;
}

namespace velto::calibration {
class CalibrationSession;
struct CalibrationState;
enum class TransceiverParameter;
} // namespace velto::calibration

class QCheckBox;

namespace velto::ui {

// FormMultiSensorCalibration: trims a multi-sensor unit's 4-20 mA outputs, sets its transceiver
// parameters, restores their defaults and switches its relays, one six-byte message per action
// on the main window's byte link.
class MultiSensorCalibrationWindow : public QWidget {
    Q_OBJECT
public:
    // Stops the main window's Velto tick, which would talk on the same line.
    using PollingStop = std::function<void()>;

    MultiSensorCalibrationWindow(serial::ByteLink& link, calibration::CalibrationState& state,
        Prompter& prompter, PollingStop stopPolling, QWidget* parent = nullptr);
    ~MultiSensorCalibrationWindow() override;

    Ui::FormMultiSensorCalibration& form() { return *m_ui; }
    calibration::CalibrationSession& session() { return *m_session; }

    // Run at every opening: shows what was sent before; with no connection the five frames stay
    // disabled.
    void Form_Load(bool connected);

signals:
    // The window closed; the main window comes back.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void wire();
    void fixCaptionWidths();
    calibration::TransceiverParameter selectedParameter() const;
    void RxTxParametersCombo_Click();
    void TransceiverSlider_Change();
    void CurrentCombo_Click();
    void Current4_20Slider_Change();
    void TxRxParametersCommand_Click();
    void Current4_20Command_Click();
    void DefaultParamrtersCommand_Click();
    void RelayCheck_Click(int relay, bool on);
    void TransceiverActualValueText_LostFocus();
    void ActualCurrentText_LostFocus();
    void showValueBoxes();
    void setCommandsEnabled(bool enabled);

    PollingStop m_stopPolling;
    Prompter& m_prompter;
    calibration::CalibrationState& m_state;
    std::unique_ptr<Ui::FormMultiSensorCalibration> m_ui;
    calibration::CalibrationSession* m_session;
    QList<QCheckBox*> m_relayChecks; // relay 1..6, then the multi-sensor relay
    bool m_RestoringRelays = false;
    QPointer<QPushButton> m_focusedCommand; // had the focus when the commands were disabled
};

} // namespace velto::ui
