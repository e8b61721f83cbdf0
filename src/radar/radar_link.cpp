#include "radar/radar_link.h"

#include "radar/status_reply.h"
#include "serial/own_echo.h"
#include "serial/serial_settings.h"

#include <algorithm>

namespace velto::radar {

namespace {
constexpr qint64 kUsPerS = 1000000;
constexpr qint64 kUsPerMs = 1000;
constexpr int kStartBit = 1;

int stopBits(QSerialPort::StopBits stop)
{
    // One and a half stop bits round up: the hold errs on the long side.
    return stop == QSerialPort::OneStop ? 1 : 2;
}
} // namespace

RadarLink::RadarLink(serial::ByteLink& link, QTimer& timerRx, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_timerRx(&timerRx)
    , m_clock(clock)
{
    m_rtsHold.setSingleShot(true);
    m_rtsHold.setTimerType(Qt::PreciseTimer);
    connect(&m_rtsHold, &QTimer::timeout, this, [this] { setRts(false); });
    connect(&m_link, &serial::ByteLink::readyRead, this, &RadarLink::onReadyRead);
    connect(&m_link, &serial::ByteLink::bytesWritten, this, &RadarLink::onBytesWritten);
    // Timer_Rx ticks until a reply is judged; an incomplete one leaves it running for another look.
    m_timerRx->setSingleShot(false);
    m_timerRx->setTimerType(Qt::PreciseTimer);
    connect(m_timerRx, &QTimer::timeout, this, &RadarLink::Timer_Rx_Timer);
    restartClock();
}

void RadarLink::setLineSettings(const QString& settings)
{
    const auto parsed = serial::SerialSettings::parse(settings);
    if (!parsed)
        return;
    m_baud = parsed->baudRate;
    m_bitsPerCharacter = kStartBit + int(parsed->dataBits) + (parsed->parity == QSerialPort::NoParity ? 0 : 1)
        + stopBits(parsed->stopBits);
}

void RadarLink::restartClock()
{
    m_startMs = m_clock.monotonicMs();
}

qint64 RadarLink::msSinceStart() const
{
    return m_clock.monotonicMs() - m_startMs;
}

int RadarLink::turnAroundMs(qsizetype frameBytes) const
{
    const qint64 transmitUs = (qint64(frameBytes) * m_bitsPerCharacter * kUsPerS + m_baud - 1) / m_baud;
    const qint64 holdUs = (m_rtsDelayCount + kRtsDelayCountsPerUs - 1) / kRtsDelayCountsPerUs;
    return int((transmitUs + holdUs + kUsPerMs - 1) / kUsPerMs);
}

int RadarLink::transferMs(qsizetype bytes) const
{
    const qint64 us = (qint64(bytes) * m_bitsPerCharacter * kUsPerS + m_baud - 1) / m_baud;
    return int((us + kUsPerMs - 1) / kUsPerMs);
}

bool RadarLink::beganWithOwnFrame(const QByteArray& buffer) const
{
    if (m_looks != 1)
        return false;
    if (serial::startsWithOwnFrame(buffer, m_frame))
        return true;
    return buffer.size() >= kStatusReplySize && buffer.size() < m_frame.size() && m_frame.startsWith(buffer);
}

bool RadarLink::send(const QByteArray& frame, int intervalMs)
{
    // Whatever came before the frame goes (a late or second answer to an earlier one) is stray.
    m_collecting = false;
    onReadyRead();
    m_buffer.clear();
    m_frame = frame;
    m_looks = 0;
    m_collecting = true;
    m_rtsHold.stop();
    setRts(true);
    if (m_timerRx) {
        m_timerRx->setInterval(intervalMs);
        m_timerRx->start();
    }
    m_sendMs = msSinceStart();
    m_frameBytes = frame.size();
    m_unsentBytes = frame.size();
    emit traffic(true, frame);
    if (!m_link.write(frame)) {
        m_unsentBytes = 0;
        setRts(false);
        return false;
    }
    return true;
}

void RadarLink::onBytesWritten(qint64 bytes)
{
    if (m_unsentBytes <= 0)
        return;
    m_unsentBytes -= bytes;
    if (m_unsentBytes <= 0)
        m_rtsHold.start(turnAroundMs(m_frameBytes));
}

void RadarLink::setRts(bool on)
{
    // A port without the line (a plain RS-232 adapter, a pseudo-terminal) still carries the data.
    m_link.setRts(on);
    if (m_rts == on)
        return;
    m_rts = on;
    emit rtsChanged(on);
}

void RadarLink::onReadyRead()
{
    const QByteArray bytes = m_link.readAll();
    if (bytes.isEmpty())
        return;
    emit traffic(false, bytes);
    if (!m_collecting)
        return;
    const qsizetype room = kMaxReplyBytes - m_buffer.size();
    m_buffer.append(bytes.first(std::min(room, bytes.size())));
}

void RadarLink::Timer_Rx_Timer()
{
    onReadyRead();
    ++m_looks;
    m_receiveMs = msSinceStart();
    QByteArray buffer;
    buffer.swap(m_buffer);
    emit replyDue(buffer);
}

void RadarLink::finishReply()
{
    if (m_timerRx)
        m_timerRx->stop();
    m_collecting = false;
    m_buffer.clear();
}

} // namespace velto::radar
