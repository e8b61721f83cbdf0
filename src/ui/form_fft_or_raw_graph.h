#pragma once

#include "radar/graph_request.h"

#include <QWidget>

#include <memory>

namespace Ui {
class Form_FFT_Or_RAW_Graph;
}

namespace velto {
class Prompter;
}

namespace velto::ui {

// The graph window ("FFT Function"): one monitoring result plotted over the grid, or the spectrum
// and the time domain of one run together in the combined view.
class Form_FFT_Or_RAW_Graph : public QWidget {
    Q_OBJECT
public:
    // A window of its own (its block boxes share names with the radar window's), opened centred
    // over `over`.
    explicit Form_FFT_Or_RAW_Graph(Prompter& prompter, const QWidget* over = nullptr);
    ~Form_FFT_Or_RAW_Graph() override;

    Ui::Form_FFT_Or_RAW_Graph& form() { return *m_ui; }

    // Draws a result: a new picture, except that the time domain of the combined view joins the
    // spectrum of its run. Shows the window without taking it modal.
    void DrawFFT(const radar::GraphRequest& request);
    void SavePictureCommand_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void placeAxisLabels();
    void showPoint(int index, int value);

    std::unique_ptr<Ui::Form_FFT_Or_RAW_Graph> m_ui;
    Prompter& m_prompter;
};

} // namespace velto::ui
