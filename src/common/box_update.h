#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

namespace velto {

// One change to a named control of a window; unset members leave that property as it is. Logic
// describes what the panels show this way, and the window applies it by objectName.
struct BoxUpdate {
    QString objectName;
    std::optional<QString> text;
    std::optional<bool> bold;
    std::optional<QColor> color; // text colour; an invalid QColor means the palette's ButtonText
    std::optional<bool> visible;
    std::optional<int> width;
    std::optional<int> left;

    bool operator==(const BoxUpdate&) const = default;
};

// "Name=text Name=text ..." for the command-line tool. Updates without text are left out; a text
// that is empty or holds blanks, "=", quotes or backslashes goes in double quotes (inner quotes and
// backslashes escaped with a backslash) so the line still splits cleanly.
QString formatBoxUpdates(const QList<BoxUpdate>& updates);

} // namespace velto

Q_DECLARE_METATYPE(velto::BoxUpdate)
