#include "serial/port_scanner.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>

namespace velto::serial {

PortScanner::PortScanner()
    : PortScanner(&PortScanner::systemPorts, &PortScanner::openCloseProbe)
{
}

PortScanner::PortScanner(Lister lister, Probe probe)
    : m_lister(std::move(lister))
    , m_probe(std::move(probe))
    , m_style(platformStyle())
{
}

QList<PortEntry> PortScanner::scan() const
{
    QList<PortCandidate> candidates = m_lister ? m_lister() : QList<PortCandidate>();
    std::stable_sort(
        candidates.begin(), candidates.end(), [](const PortCandidate& a, const PortCandidate& b) {
            return naturalLess(a.systemLocation, b.systemLocation);
        });
    QList<PortEntry> entries;
    QString previous;
    for (const PortCandidate& port : std::as_const(candidates)) {
        // Some systems report one device twice (e.g. through two enumerators).
        if (port.systemLocation.isEmpty() || port.systemLocation == previous)
            continue;
        previous = port.systemLocation;
        if (m_probe && !m_probe(port.systemLocation))
            continue;
        entries.append({ port.systemLocation, displayText(port, m_style) });
    }
    return entries;
}

QList<PortCandidate> PortScanner::systemPorts()
{
    QList<PortCandidate> out;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        // On Windows systemLocation() is "\\.\COM3"; the plain name opens the same port.
        const QString location
            = platformStyle() == NameStyle::Windows ? info.portName() : info.systemLocation();
        out.append({ info.portName(), location, info.description() });
    }
    return out;
}

bool PortScanner::openCloseProbe(const QString& systemLocation)
{
    QSerialPort port;
    port.setPortName(systemLocation);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.close();
    return true;
}

PortScanner::NameStyle PortScanner::platformStyle()
{
#ifdef Q_OS_WIN
    return NameStyle::Windows;
#else
    return NameStyle::DevicePath;
#endif
}

QString PortScanner::displayText(const PortCandidate& port, NameStyle style)
{
    if (style == NameStyle::Windows) {
        static const QRegularExpression comPort(
            QStringLiteral("^COM(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = comPort.match(port.portName);
        return match.hasMatch() ? QStringLiteral("COM ") + match.captured(1) : port.portName;
    }
    const QString location = port.systemLocation.isEmpty() ? port.portName : port.systemLocation;
    const QString description = port.description.trimmed();
    return description.isEmpty() ? location : QStringLiteral("%1 (%2)").arg(location, description);
}

bool PortScanner::naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            // Compare digit runs by value without overflow: drop leading zeros, then length, then text.
            QStringView runA = QStringView(a).mid(startA, i - startA);
            QStringView runB = QStringView(b).mid(startB, j - startB);
            while (runA.size() > 1 && runA.front() == u'0')
                runA = runA.mid(1);
            while (runB.size() > 1 && runB.front() == u'0')
                runB = runB.mid(1);
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (const int c = runA.compare(runB); c != 0)
                return c < 0;
            continue;
        }
        const QChar ca = a[i].toLower();
        const QChar cb = b[j].toLower();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    // Equal ignoring case and zero padding: fall back to plain text so the order is total.
    return a < b;
}

} // namespace velto::serial
