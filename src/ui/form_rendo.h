#pragma once

#include "common/clock.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLineEdit;

namespace Ui {
class FormRendo;
}

namespace velto {
class Prompter;
}

namespace velto::serial {
class ByteLink;
}

namespace velto::modbus {
class DebouncedTextCheck;
}

namespace velto::radar {
class MeasurementSequence;
class MonitoringFiles;
class RadarController;
struct FieldRule;
struct BlockLimits;
struct GraphRequest;
struct SequenceControls;
} // namespace velto::radar

namespace velto::ui {

class Form_FFT_Or_RAW_Graph;

// The radar sensor's window: single commands by hand, the measurement parameters, and the automatic
// sequence. Every control carries its name; the logic lives in RadarController and
// MeasurementSequence, this class only binds the controls to them.
class FormRendo : public QWidget {
    Q_OBJECT
public:
    // `link` is the byte link the main window opened.
    FormRendo(serial::ByteLink& link, Prompter& prompter, const Clock& clock = SystemClock::instance(),
        QWidget* parent = nullptr);
    ~FormRendo() override;

    Ui::FormRendo& form() { return *m_ui; }
    radar::RadarController& controller() { return *m_controller; }
    radar::MeasurementSequence& sequence() { return *m_sequence; }

    // Connected: the command buttons work; otherwise they stay disabled and the log shows "N/A".
    void setConnected(bool connected);
    // "9600,n,8,1" of the open port, for the RTS turn-around.
    void setLineSettings(const QString& settings);
    // Where the monitoring files go; the data folder unless told otherwise.
    void setMonitoringFolder(const QString& folder);
    radar::MonitoringFiles& monitoringFiles() { return *m_files; }
    // The graph window, once a monitoring result has been drawn.
    Form_FFT_Or_RAW_Graph* graphWindow() { return m_graph.get(); }

signals:
    // Exit: the main window takes over again.
    void exited();

public slots:
    void ExitCommand_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void keepPlaces();
    // Runs the checks still waiting out their second, as if the operator had paused.
    void settlePendingChecks();
    void wireButtons();
    void wireChecks();
    void wireFields();
    void addFieldCheck(QLineEdit* box, const radar::FieldRule& rule);
    void addBlockChecks(QLineEdit* start, QLineEdit* end, const radar::BlockLimits& limits, bool fft);
    void PeriodicalMeasurementCheck_Click();
    void dataCheck_Click(QCheckBox* clicked);
    void showBlockRanges();
    void OpenMonitoringFileCheck_Click();
    // FileNameText's tooltip names the whole path the files go to.
    void showFilePath();
    void applyControls(const radar::SequenceControls& controls);
    void applyEnabling();
    void setLogLayout(bool dump);
    void showLineLost(const QString& text);
    void DrawFFT(const radar::GraphRequest& request);

    std::unique_ptr<Ui::FormRendo> m_ui;
    Prompter& m_prompter;
    radar::RadarController* m_controller;
    radar::MeasurementSequence* m_sequence;
    std::unique_ptr<radar::MonitoringFiles> m_files;
    std::unique_ptr<Form_FFT_Or_RAW_Graph> m_graph;
    QList<modbus::DebouncedTextCheck*> m_checks;
    QCheckBox* m_lastDataCheck = nullptr;
    bool m_connected = false;
    bool m_loaded = false;
    bool m_exiting = false;
    bool m_dumpLayout = false;
};

} // namespace velto::ui
