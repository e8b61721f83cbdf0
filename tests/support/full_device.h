#pragma once

#include <QString>

namespace velto::test {

// A device that takes no byte, as a full disk: "full" in `folder`, made there as a copy of the
// system's /dev/full where the test may make devices (as root), else /dev/full itself. A writer
// that wrongly replaced its target by a plain file then replaces the copy, never the system's.
QString fullDeviceIn(const QString& folder);

// True while `path` is still a device (a writer has not put a plain file in its place).
bool isDevice(const QString& path);

} // namespace velto::test
