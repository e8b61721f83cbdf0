#include "serial/in_process_wire.h"

#include "serial/in_process_link.h"

#include <QHash>

#include <algorithm>

namespace velto::serial {

namespace {
constexpr QLatin1StringView kScheme("inprocess:");

// Every wire of the program by its location; links find them here as a port is found by its path.
QHash<QString, InProcessWire*>& wires()
{
    static QHash<QString, InProcessWire*> all;
    return all;
}
} // namespace

InProcessWire::InProcessWire(const QString& name, QObject* parent)
    : QObject(parent)
{
    const QString base = QString(kScheme) + name;
    m_location = base;
    for (int n = 2; wires().contains(m_location); ++n)
        m_location = QStringLiteral("%1-%2").arg(base).arg(n);
    wires().insert(m_location, this);
}

InProcessWire::~InProcessWire()
{
    wires().remove(m_location);
    if (m_link)
        m_link->wireGone();
}

InProcessWire* InProcessWire::find(const QString& location)
{
    return wires().value(location.trimmed(), nullptr);
}

bool InProcessWire::looksLikeOne(const QString& text)
{
    return text.trimmed().startsWith(kScheme);
}

qsizetype InProcessWire::write(QByteArrayView bytes)
{
    const qsizetype fits = std::min(bytes.size(), kCapacityBytes - m_toProgram.size());
    if (fits <= 0)
        return 0;
    m_toProgram.append(bytes.first(fits));
    if (m_link)
        m_link->deviceSent();
    return fits;
}

bool InProcessWire::attach(InProcessLink& link, int charactersPerSecond)
{
    if (m_link && m_link != &link)
        return false;
    m_link = &link;
    m_charactersPerSecond = charactersPerSecond;
    m_toProgram.clear();
    return true;
}

void InProcessWire::detach(const InProcessLink& link)
{
    if (m_link == &link)
        m_link = nullptr;
}

} // namespace velto::serial
