#pragma once

namespace velto::app {

struct MainContext;

// Installs the opener of FormTaliq485Parsing: one window, made when first opened, writing the
// workbooks into the data folder.
void installParsingOpener(MainContext& ctx);

} // namespace velto::app
