#pragma once

#include "app/main_context.h"
#include "logging/readings_logger.h"

#include <QObject>

namespace velto::app {

// frmDataBase: the log file of the shown readings, its rate and the grid echo MSFlexGrid1.
class LogPanelController : public QObject {
    Q_OBJECT
public:
    LogPanelController(MainContext& ctx, const Clock& clock, QObject* parent = nullptr);

    logging::ReadingsLogger& logger() { return m_logger; }

    // File > Log: the panel with the mode's caption; the Velto tick pauses until a rate is entered.
    void mnuLog_Click();

private:
    void OpenFile_Click();
    void CloseFile_Click();
    void RateTime_Change();
    void showFileControls(bool open);
    void resetGrid(const QStringList& header);
    void addGridRow(const QStringList& cells);
    void resumePolling();
    logging::LogReadings shownReadings() const;

    MainContext& m_ctx;
    logging::ReadingsLogger m_logger;
};

} // namespace velto::app
