#pragma once

// The benches' simulated sensors' line: made in the bench's process, and a port or master opened on
// its device end, with the reason on stderr when either cannot be.

#include "modbus/modbus_master.h"
#include "serial/byte_link.h"
#include "sim/simulated_line.h"

#include <QString>

#include <cstdio>

namespace velto::bench {

inline const QString kSimLineSettings = QStringLiteral("9600,n,8,1");

inline bool simLineReady(const sim::SimulatedLine& line)
{
    if (line.isValid())
        return true;
    std::fprintf(stderr, "no simulated line: %s\n", qPrintable(line.errorText()));
    return false;
}

inline bool openOnSimLine(
    const sim::SimulatedLine& line, serial::ByteLink& link, const QString& settings = kSimLineSettings)
{
    if (!simLineReady(line))
        return false;
    if (link.open(line.devicePath(), settings))
        return true;
    std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(line.devicePath()), qPrintable(link.errorText()));
    return false;
}

inline bool openOnSimLine(
    const sim::SimulatedLine& line, modbus::ModbusMaster& master, const QString& settings = kSimLineSettings)
{
    if (!simLineReady(line))
        return false;
    if (master.openPort(line.devicePath(), settings))
        return true;
    std::fprintf(
        stderr, "cannot open %s: %s\n", qPrintable(line.devicePath()), qPrintable(master.lastErrorText()));
    return false;
}

} // namespace velto::bench
