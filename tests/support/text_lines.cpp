#include "support/text_lines.h"

#include <QFile>

namespace velto::test {

QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> out = text.split('\n');
    out.removeAll(QByteArray());
    for (QByteArray& line : out)
        line = line.trimmed();
    return out;
}

QStringList crlfLines(const QByteArray& text)
{
    QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList fileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return crlfLines(file.readAll());
}

} // namespace velto::test
