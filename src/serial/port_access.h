#pragma once

#include <QString>

namespace velto::serial {

// Serial devices on Debian belong to this group; a user outside it cannot open them.
inline constexpr const char* kSerialGroup = "dialout";

// Advice to add to an open failure when the port exists but this user may not read and write it:
// which group to join and how. Empty when the path is missing or accessible, or the system has no
// such permissions.
QString portAccessAdvice(const QString& path);

} // namespace velto::serial
