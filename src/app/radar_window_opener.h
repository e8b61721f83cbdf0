#pragma once

namespace velto::app {

struct MainContext;

// Installs the opener of the radar window FormRendo into the tool windows: "&Operation" shows it
// over the line the main window opened, and its Exit hands the main window back.
void installRadarWindow(MainContext& ctx);

} // namespace velto::app
