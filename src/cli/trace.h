#pragma once

#include "traffic/traffic_row.h"

#include <QCommandLineOption>

namespace velto::serial {
class TappedByteLink;
}

namespace velto::modbus {
class ModbusMaster;
}

namespace velto::cli {

// --trace, which every command takes: the line traffic as the traffic monitor shows it, one row per
// line on stderr (the same tab-separated lines its "Save..." writes), from the header on.
QCommandLineOption traceOption();

// Tracing on for the rest of the run; the shared parse step calls it when --trace is given.
void startTrace();
bool tracing();

// What a command talks through; nothing happens unless tracing.
void traceLine(serial::TappedByteLink& link, traffic::Protocol only = traffic::Protocol::Unknown);
void traceModbus(modbus::ModbusMaster& master);

} // namespace velto::cli
