#pragma once

#include <QString>

namespace velto::radar {

// Where the monitoring files go: "C:\Rendo Monitor\" on Windows, "Rendo Monitor" in the user's home
// folder elsewhere. Ends with a separator, so a file name is simply appended.
QString defaultMonitoringFolder();

// The folder followed by the name, as the window forms it: an empty name leaves the folder itself,
// which no file can be written to. An absolute name stands on its own.
QString monitoringFilePath(const QString& folder, const QString& fileName);

} // namespace velto::radar
