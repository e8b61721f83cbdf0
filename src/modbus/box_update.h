#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

namespace velto::modbus {

// One change to a named box of a window; unset members leave that property as it is.
struct BoxUpdate {
    QString objectName;
    std::optional<QString> text;
    std::optional<bool> bold;
    std::optional<QColor> color; // text colour; an invalid QColor means the palette's ButtonText
    std::optional<bool> visible;

    bool operator==(const BoxUpdate&) const = default;
};

// "Name=text Name=text ..." for the command-line tool. Updates without text are left out; a text
// holding blanks or quotes goes in double quotes (inner quotes and backslashes escaped) so the
// line still splits cleanly.
QString formatBoxUpdates(const QList<BoxUpdate>& updates);

} // namespace velto::modbus

Q_DECLARE_METATYPE(velto::modbus::BoxUpdate)
