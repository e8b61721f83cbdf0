#include "logging/readings_logger.h"

namespace velto::logging {

namespace {
const QString kDialogTitle = QStringLiteral("Open");
} // namespace

ReadingsLogger::ReadingsLogger(Prompter& prompter, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_prompter(prompter)
    , m_clock(clock)
{
    // A child, so the window that owns the logger finds its timer by name like its own timers.
    m_timer.setParent(this);
    m_timer.setObjectName(QStringLiteral("TimerRateInsertDataToFile"));
    connect(&m_timer, &QTimer::timeout, this, &ReadingsLogger::EnterDataToFile);
}

bool ReadingsLogger::chooseAndOpen(const LogLayout& layout)
{
    m_timer.stop();
    // A new file name is what a fresh log usually gets; the file is created below.
    const QString path = m_prompter.openOrNewFileName(kDialogTitle, kLogFileFilter, kLogFileSelectedFilter);
    return openFile(path, layout);
}

bool ReadingsLogger::openFile(const QString& path, const LogLayout& layout)
{
    if (path.isEmpty())
        return false;
    m_timer.stop();
    m_writer.setPath(path);
    m_layout = layout;
    m_fileOpen = true;
    if (!m_writer.create())
        m_prompter.message(kCreateFileError);
    emit gridReset(gridHeader(layout));
    if (!m_writer.append(titleText(layout) + kLineEnd))
        m_prompter.message(layout.mode == LogMode::Modbus ? kTitleModbusError : kTitleVeltoError);
    return true;
}

void ReadingsLogger::closeFile()
{
    m_timer.stop();
    m_fileOpen = false;
}

RateEntry ReadingsLogger::setRateText(QStringView text)
{
    const RateEntry entry = checkRate(text);
    switch (entry.kind) {
    case RateEntry::Kind::Empty:
        m_timer.stop();
        emit pollingResumeRequested();
        break;
    case RateEntry::Kind::Valid:
        m_timer.setInterval(entry.intervalMs);
        if (m_fileOpen)
            m_timer.start();
        emit pollingResumeRequested();
        break;
    case RateEntry::Kind::Invalid:
        m_prompter.message(kRateMessage);
        m_timer.stop();
        break;
    }
    return entry;
}

void ReadingsLogger::EnterDataToFile()
{
    const LogReadings readings = m_source ? m_source() : LogReadings {};
    const QDateTime now = m_clock.now();
    if (!m_writer.append(dataLine(readings, now))) {
        m_prompter.message(kEnterDataError);
        return;
    }
    emit rowLogged(gridRow(readings, now));
}

} // namespace velto::logging
