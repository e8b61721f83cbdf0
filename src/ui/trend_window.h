#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

namespace Ui {
class FormTrend;
}

namespace velto {
class Prompter;
}

namespace velto::trend {
class TrendStore;
}

namespace velto::ui {

class TrendCanvas;

// FormTrend: the readings of every poll as lines over wall-clock time, one check box per series in
// the legend, one value axis per unit, with zoom, pan, Pause/Follow and a crosshair readout; saves
// the picture or the data.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRepaintBatchMs = 200;

    TrendWindow(const trend::TrendStore& store, Prompter& prompter, QWidget* parent = nullptr);
    ~TrendWindow() override;

    Ui::FormTrend& form() { return *m_ui; }
    TrendCanvas& canvas() { return *m_canvas; }

    void SavePictureCommand_Click();
    void SaveDataCommand_Click();

private:
    void addSeries(int index);
    void applyShown();
    void showViewState();
    void showAxisRange();
    void applyAxisTexts();
    void AutoScaleCheck_Toggled(bool on);
    QString chosenAxis() const;

    const trend::TrendStore& m_store;
    Prompter& m_prompter;
    std::unique_ptr<Ui::FormTrend> m_ui;
    TrendCanvas* m_canvas;
    QTimer m_repaint;
};

} // namespace velto::ui
