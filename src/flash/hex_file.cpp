#include "flash/hex_file.h"

#include "flash/hex_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace velto::flash {

namespace {
// Any ASCII white space, a vertical tab or form feed too: such a line is no record to send.
bool isBlank(QByteArrayView line)
{
    return line.trimmed().isEmpty();
}

// Calls f(number, line) for every line that is not blank, numbered from 1 as an editor shows them.
template <typename F> void forEachLine(QByteArrayView content, F f)
{
    qsizetype start = 0;
    int number = 0;
    const qsizetype size = content.size();
    while (start < size) {
        ++number;
        qsizetype end = start;
        while (end < size && content[end] != '\n' && content[end] != '\r')
            ++end;
        const QByteArrayView line = content.sliced(start, end - start);
        if (!isBlank(line))
            f(number, line);
        if (end < size && content[end] == '\r' && end + 1 < size && content[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

constexpr qsizetype kShortestRecord = hexRecordSize(0);

QString hex2(quint8 value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// The fault of one record, or empty; its type in `type`.
QString recordFault(QByteArrayView line, quint8& type)
{
    if (line.front() != kHexStartCode)
        return QStringLiteral("does not start with ':'");
    if (line.size() < kShortestRecord)
        return QStringLiteral("is too short for a record (%1 characters)").arg(line.size());
    if ((line.size() - 1) % 2 != 0)
        return QStringLiteral("has an odd number of digits");
    const std::optional<QByteArray> read = hexRecordBytes(line);
    if (!read)
        return QStringLiteral("holds a character that is not a hexadecimal digit");
    const QByteArray& bytes = *read;
    const int count = quint8(bytes[0]);
    const int carried = int(bytes.size()) - 5; // count, address, type, checksum
    if (carried != count)
        return QStringLiteral("carries %1 data bytes where its byte count says %2").arg(carried).arg(count);
    if (const quint8 sum = hexRecordSum(bytes); sum != 0) {
        const quint8 given = quint8(bytes.back());
        const quint8 due = quint8(given - sum);
        return QStringLiteral("has a bad checksum (%1 where the record needs %2)")
            .arg(hex2(given), hex2(due));
    }
    type = quint8(bytes[3]);
    if (type > HexRecord::kLastKnownType)
        return QStringLiteral("has the unknown record type %1").arg(hex2(type));
    if (const auto size = dataSizeOfType(type); size && *size != count)
        return QStringLiteral("is a record of type %1 with %2 data bytes, where that type carries %3")
            .arg(hex2(type))
            .arg(count)
            .arg(*size);
    return {};
}
} // namespace

QList<QByteArray> splitHexLines(QByteArrayView content)
{
    QList<QByteArray> lines;
    forEachLine(content, [&lines](int, QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

QString checkHexRecords(QByteArrayView content)
{
    QString fault;
    int endOfFileLine = 0;
    int lastLine = 0;
    forEachLine(content, [&](int number, QByteArrayView line) {
        if (!fault.isEmpty())
            return;
        lastLine = number;
        if (endOfFileLine > 0) {
            fault = QStringLiteral("line %1 comes after the end-of-file record on line %2")
                        .arg(number)
                        .arg(endOfFileLine);
            return;
        }
        quint8 type = 0;
        if (const QString bad = recordFault(line, type); !bad.isEmpty()) {
            fault = QStringLiteral("line %1 %2").arg(number).arg(bad);
            return;
        }
        if (type == HexRecord::EndOfFile)
            endOfFileLine = number;
    });
    if (fault.isEmpty() && lastLine > 0 && endOfFileLine == 0)
        fault
            = QStringLiteral("line %1, the last, is not the end-of-file record (:00000001FF)").arg(lastLine);
    return fault;
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
    QList<QByteArray> lines = splitHexLines(content);
    if (lines.isEmpty()) {
        out.errorText = QStringLiteral("The HEX file %1 holds no lines to burn.").arg(shown);
        return out;
    }
    if (const QString fault = checkHexRecords(content); !fault.isEmpty()) {
        out.errorText = QStringLiteral("Cannot burn the HEX file %1: %2. Nothing was sent to the device.")
                            .arg(shown, fault);
        return out;
    }
    out.lines = std::move(lines);
    return out;
}

} // namespace velto::flash
