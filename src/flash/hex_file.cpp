#include "flash/hex_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velto::flash {

namespace {
// Any ASCII white space, a vertical tab or form feed too: such a line is no record to send.
bool isBlank(QByteArrayView line)
{
    return line.trimmed().isEmpty();
}
} // namespace

QList<QByteArray> splitHexLines(QByteArrayView content)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype size = content.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && content[end] != '\n' && content[end] != '\r')
            ++end;
        const QByteArrayView line = content.sliced(start, end - start);
        if (!isBlank(line))
            lines.append(line.toByteArray());
        if (end < size && content[end] == '\r' && end + 1 < size && content[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

HexFileRead readHexFile(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    HexFileRead out;
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir()) {
        out.errorText = QStringLiteral("Cannot read the HEX file %1: it is a folder.").arg(shown);
        return out;
    }
    // Opening a pipe waits for a writer and a device may never end: either would hold the window.
    if (info.exists() && !info.isFile()) {
        out.errorText = QStringLiteral("Cannot read the HEX file %1: it is not a file.").arg(shown);
        return out;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        out.errorText = QStringLiteral("Cannot read the HEX file %1: %2").arg(shown, file.errorString());
        return out;
    }
    if (file.size() > kMaxHexFileBytes) {
        out.errorText
            = QStringLiteral("Cannot burn the file %1: at %2 bytes it is too large to be a HEX file.")
                  .arg(shown)
                  .arg(file.size());
        return out;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        out.errorText = QStringLiteral("Cannot read the HEX file %1: %2").arg(shown, file.errorString());
        return out;
    }
    out.lines = splitHexLines(content);
    if (out.lines.isEmpty())
        out.errorText = QStringLiteral("The HEX file %1 holds no lines to burn.").arg(shown);
    return out;
}

} // namespace velto::flash
