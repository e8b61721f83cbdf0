#pragma once

#include "app/main_context.h"
#include "veltoproto/velto_poller.h"

#include <QObject>

namespace velto::app {

// The Velto protocol mode's panel: the four-request tick on TimerVeltoProtocol, the unit selectors,
// the layout switch between one and two sensors, and the tank picture.
class VeltoReadingsController : public QObject {
    Q_OBJECT
public:
    explicit VeltoReadingsController(MainContext& ctx, QObject* parent = nullptr);

    veltoproto::VeltoPoller& poller() { return m_poller; }

    // Ends a tick between its requests: the line is about to change hands or close.
    void stopTick() { m_poller.stop(); }
    void TextVeltoLevel_Change();

private:
    void TimerVeltoProtocol_Timer();
    void applyDisplay(const veltoproto::DisplayUpdate& update);
    void MeasurementUnitCombo_Click(int sensor);
    void toggleMarks();
    // The byte link gave the line up under the mode: said once, where the sensors' statuses show.
    void showLineLost(const QString& text);

    MainContext& m_ctx;
    veltoproto::VeltoPoller m_poller;
    bool m_marksOn = false;
};

} // namespace velto::app
