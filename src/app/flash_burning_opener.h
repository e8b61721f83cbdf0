#pragma once

namespace velto::app {

struct MainContext;

// Makes "&Flash Burning" open FormFlashburning on the main window's byte link, with the HEX
// converter next to the program; closing it brings the main window back.
void installFlashBurningOpener(MainContext& ctx);

} // namespace velto::app
