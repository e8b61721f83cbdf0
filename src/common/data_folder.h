#pragma once

#include <QString>

namespace velto {

// Where the program's output files go: "C:\Rendo Monitor\" on Windows, "Rendo Monitor" in the
// user's home folder elsewhere. Always ends with a separator, so a file name can be appended.
QString dataFolderPath();

// The same folder, created when missing. Empty when it does not exist and cannot be made.
QString ensureDataFolder();

} // namespace velto
