#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace velto::flash {

// The lines of a HEX file as the device gets them: each line exactly as read, without its line
// end (CR LF, LF or CR). Blank lines are left out: the device has nothing to answer to them.
QList<QByteArray> splitHexLines(QByteArrayView content);

struct HexFileRead {
    QList<QByteArray> lines;
    // Why the file cannot be burnt; empty when it can.
    QString errorText;
    bool ok() const { return errorText.isEmpty(); }
};

// Far beyond any sensor's firmware; a larger file is the wrong file.
constexpr qint64 kMaxHexFileBytes = 64 * 1024 * 1024;

// Reads the whole file at once. A file that cannot be opened or read, is too large or holds no
// lines gives a people-readable reason and no lines.
HexFileRead readHexFile(const QString& path);

} // namespace velto::flash
