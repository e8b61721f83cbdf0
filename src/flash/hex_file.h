#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace velto::flash {

// The lines of a HEX file as the device gets them: each line exactly as read, without its line
// end (CR LF, LF or CR). Blank lines are left out: the device has nothing to answer to them.
QList<QByteArray> splitHexLines(QByteArrayView content);

// Checks the whole file before the device is touched: every line an Intel HEX record (':', byte
// count, address, a known record type with the data its type carries, checksum), and exactly one
// end-of-file record, at the end. Returns the first fault, naming its line as the file numbers it
// (blank lines counted); empty when the file is whole.
QString checkHexRecords(QByteArrayView content);

struct HexFileRead {
    QList<QByteArray> lines;
    // Why the file cannot be burnt; empty when it can.
    QString errorText;
    bool ok() const { return errorText.isEmpty(); }
};

// Far beyond any sensor's firmware; a larger file is the wrong file.
constexpr qint64 kMaxHexFileBytes = 64 * 1024 * 1024;

// Reads and checks the whole file at once. A file that cannot be opened or read, is too large,
// holds no lines or is not a whole HEX file gives a people-readable reason and no lines.
HexFileRead readHexFile(const QString& path);

} // namespace velto::flash
