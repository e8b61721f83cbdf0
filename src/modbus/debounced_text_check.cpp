#include "modbus/debounced_text_check.h"

namespace velto::modbus {

DebouncedTextCheck::DebouncedTextCheck(QObject* parent, int delayMs)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(delayMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { emit settled(m_text); });
}

void DebouncedTextCheck::textChanged(const QString& text)
{
    m_text = text;
    m_timer.start();
}

void DebouncedTextCheck::settleNow()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    emit settled(m_text);
}

} // namespace velto::modbus
