#include "common/batched_appender.h"

#include <utility>

namespace velto {

BatchedAppender::BatchedAppender(QObject* parent)
    : QObject(parent)
{
    m_timer.setParent(this); // found by name among its owner's children
    m_timer.setInterval(kBatchMs);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &BatchedAppender::flush);
}

void BatchedAppender::append(const QString& text)
{
    if (text.isEmpty())
        return;
    m_text += text;
    startPeriod();
}

void BatchedAppender::arrived()
{
    m_arrived = true;
    startPeriod();
}

void BatchedAppender::clear()
{
    m_text.clear();
    m_clearFirst = true;
    startPeriod();
}

void BatchedAppender::discard()
{
    m_timer.stop();
    m_text.clear();
    m_clearFirst = false;
    m_arrived = false;
}

void BatchedAppender::flush()
{
    m_timer.stop();
    if (!m_clearFirst && !m_arrived && m_text.isEmpty())
        return;
    const bool clearFirst = std::exchange(m_clearFirst, false);
    const QString text = std::exchange(m_text, {});
    m_arrived = false;
    emit batchReady(clearFirst, text);
}

void BatchedAppender::startPeriod()
{
    if (!m_timer.isActive())
        m_timer.start();
}

} // namespace velto
