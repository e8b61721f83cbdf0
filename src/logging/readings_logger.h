#pragma once

#include "common/clock.h"
#include "common/prompter.h"
#include "logging/log_file_writer.h"
#include "logging/log_format.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace velto::logging {

// The log panel's logic: the file, its title, the rate and the logging timer. Every tick opens the
// file, appends one line and closes it. File errors are shown and never stop the program.
class ReadingsLogger : public QObject {
    Q_OBJECT
public:
    // Fills one data line's texts from what the panel shows at the tick.
    using ReadingsSource = std::function<LogReadings()>;

    ReadingsLogger(Prompter& prompter, const Clock& clock, QObject* parent = nullptr);

    void setReadingsSource(ReadingsSource source) { m_source = std::move(source); }

    // OpenFile_Click after the window emptied RateTime: the logging stops, the file dialog asks for
    // a path, then openFile(). False when the dialog was cancelled (nothing created).
    bool chooseAndOpen(const LogLayout& layout);

    // Creates (or empties) the file, writes the title line and resets the grid to its header. A
    // failing file is reported and the panel still counts as open, so a later tick reports again.
    // False only for an empty path.
    bool openFile(const QString& path, const LogLayout& layout);

    // CloseFile_Click: stops logging; the rate text stays with the window.
    void closeFile();

    // RateTime_Change. Empty stops logging; a valid rate starts it at rate x 1000 ms (only while a
    // file is open); both ask for the mode's polling timer back. Anything else shows the rate
    // message and stops logging; the window then empties the box, which comes back here as empty.
    RateEntry setRateText(QStringView text);

    bool isFileOpen() const { return m_fileOpen; }
    bool isLogging() const { return m_timer.isActive(); }
    QString fileName() const { return m_writer.path(); }
    const LogLayout& layout() const { return m_layout; }
    QTimer& timer() { return m_timer; }

public slots:
    // One logging tick: one data line and one grid row.
    void EnterDataToFile();

signals:
    // The grid is to be cleared down to this header row.
    void gridReset(const QStringList& header);
    // One logged line for the grid, one cell per string.
    void rowLogged(const QStringList& cells);
    // A valid or empty rate: the window enables TimerVeltoProtocol in the Velto mode, else
    // TimerModbusDataUpdate.
    void pollingResumeRequested();

private:
    Prompter& m_prompter;
    const Clock& m_clock;
    ReadingsSource m_source;
    LogFileWriter m_writer;
    LogLayout m_layout;
    QTimer m_timer;
    bool m_fileOpen = false;
};

} // namespace velto::logging
