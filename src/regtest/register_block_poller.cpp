#include "regtest/register_block_poller.h"

#include "modbus/modbus_master.h"

#include <algorithm>

namespace velto::regtest {

RegisterBlockPoller::RegisterBlockPoller(
    modbus::ModbusMaster& master, QTimer& requestTimer, std::function<bool()> openPort, QObject* parent)
    : QObject(parent)
    , m_master(master)
    , m_requestTimer(requestTimer)
    , m_openPort(std::move(openPort))
{
    m_burstEnd.setSingleShot(true);
    m_burstEnd.setInterval(kSingleRequestBurstMs);
    connect(&m_burstEnd, &QTimer::timeout, this, &RegisterBlockPoller::endBurst);
    connect(&m_requestTimer, &QTimer::timeout, this, &RegisterBlockPoller::tick);
    connect(&m_counters, &modbus::PollCounters::changed, this, &RegisterBlockPoller::countersChanged);
    // The port is gone: the requests end and the box says why, once; Periodical Request opens the
    // port again.
    connect(&m_master, &modbus::ModbusMaster::lineLost, this, [this](const QString& text) {
        halt();
        emit errorTextChanged(text);
    });
}

void RegisterBlockPoller::setLength(int length)
{
    m_length = std::clamp(length, 1, kMaxBlockLength);
}

void RegisterBlockPoller::tick()
{
    if (m_inFlight || m_master.busy())
        return;
    // The error box keeps the last outcome until this request's replaces it.
    // Whether this request counts is settled when it is made: an answer that arrives after the
    // burst has ended still belongs to the burst.
    const bool counted = SingleRequest() == 1;
    const int length = m_length;
    m_inFlight = true;
    m_master.readRegisters(m_slaveId, m_start - 1, length, this,
        [this, counted, length](const modbus::ModbusResult& result) { finish(counted, length, result); });
}

void RegisterBlockPoller::finish(bool counted, int length, const modbus::ModbusResult& result)
{
    m_inFlight = false;
    if (counted)
        m_counters.count(result);
    else
        m_counters.countTimeoutOnly(result);
    QStringList values;
    if (result.ok()) {
        // The master calls a read good only when it brought the whole block.
        for (quint16 word : result.words)
            values << QString::number(qint16(word));
    } else {
        values = QStringList(length, QStringLiteral("0"));
    }
    emit errorTextChanged(result.errorText);
    emit valuesChanged(values);
    if (m_closeWhenAnswered)
        closeNow();
}

void RegisterBlockPoller::singleRequest()
{
    if (m_mode == Mode::Single)
        return;
    m_closeWhenAnswered = false;
    if (!m_master.portOpen() && !m_openPort()) {
        m_mode = Mode::Idle;
        m_requestTimer.stop();
        emit errorTextChanged(kDeviceNotConnected);
        return;
    }
    m_mode = Mode::Single;
    if (!m_paused)
        m_requestTimer.start();
    m_burstEnd.start();
}

void RegisterBlockPoller::endBurst()
{
    if (m_mode == Mode::Single)
        stopAndClose();
}

void RegisterBlockPoller::periodicalRequest()
{
    m_closeWhenAnswered = false;
    m_burstEnd.stop();
    if (!m_master.portOpen() && !m_openPort()) {
        m_mode = Mode::Idle;
        m_requestTimer.stop();
        emit errorTextChanged(kDeviceNotConnected);
        return;
    }
    m_mode = Mode::Periodic;
    if (!m_paused && !m_requestTimer.isActive())
        m_requestTimer.start();
}

void RegisterBlockPoller::stopPeriodicalRequest()
{
    stopAndClose();
}

void RegisterBlockPoller::stopAndClose()
{
    m_burstEnd.stop();
    m_requestTimer.stop();
    m_mode = Mode::Idle;
    if (m_inFlight)
        m_closeWhenAnswered = true;
    else
        closeNow();
}

void RegisterBlockPoller::closeNow()
{
    m_closeWhenAnswered = false;
    m_master.closePort();
    emit errorTextChanged(kDeviceNotConnected);
}

void RegisterBlockPoller::pause()
{
    m_paused = true;
    m_requestTimer.stop();
}

void RegisterBlockPoller::resume()
{
    m_paused = false;
    // Only requests that were running come back; an idle window stays idle, so an edit never
    // starts polling a closed port.
    if (m_mode != Mode::Idle)
        m_requestTimer.start();
}

void RegisterBlockPoller::halt()
{
    m_burstEnd.stop();
    m_requestTimer.stop();
    m_mode = Mode::Idle;
    m_paused = false;
    m_closeWhenAnswered = false;
}

void RegisterBlockPoller::resetCounters()
{
    m_counters.reset();
}

} // namespace velto::regtest
