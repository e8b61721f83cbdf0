#pragma once

#include <QString>

namespace velto {

// The suffix a file dialog's filter stands for: "txt" for "TXT Files (*.txt)", the first entry's
// first pattern when there are several; empty for "All Files (*)" and the like.
QString filterSuffix(const QString& filter);

// The name as a save dialog should have given it: with the filter's suffix when the name has none
// ("capture1" becomes "capture1.txt"); a name with a suffix of its own, or of a file that is
// there, stays as it is.
QString withFilterSuffix(const QString& path, const QString& filter);

} // namespace velto
