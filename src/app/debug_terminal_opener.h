#pragma once

namespace velto::app {

struct MainContext;
class ConnectionController;

// Installs the opener of FormTaliq485Debug into the tool windows: one window at a time, made fresh
// (its clock and line count start again) each time it is opened after an Exit.
void installDebugTerminalOpener(MainContext& ctx, ConnectionController& connection);

} // namespace velto::app
