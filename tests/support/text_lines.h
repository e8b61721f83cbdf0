#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace velto::test {

// The lines of a text file such as a HEX file, trimmed, empty ones left out.
QList<QByteArray> linesOf(const QByteArray& text);
// The lines of a text whose lines end in CR LF, without the empty one after the last end.
QStringList crlfLines(const QByteArray& text);
// The same of a file's UTF-8 text; empty when the file cannot be read.
QStringList fileLines(const QString& path);

} // namespace velto::test
