#pragma once

#include "common/box_update.h"

#include <QWidget>

namespace velto::ui {

// Copies text, weight, colour and visibility into the named boxes below `root`; names that are not
// there are passed over.
void applyBoxUpdates(QWidget& root, const QList<BoxUpdate>& updates);

} // namespace velto::ui
