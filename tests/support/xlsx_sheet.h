#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QXmlStreamReader>

namespace velto::test {

// A worksheet of an .xlsx file as stored: each cell's reference ("B7"), whether it holds a number,
// and its text. Read back with the system's unzip, so the test sees what a spreadsheet program
// would open, not what the writer meant to write.
struct XlsxSheet {
    struct Cell {
        bool number = false;
        QString text;
    };

    QString error; // empty when the file was read
    QStringList sheetNames;
    QMap<QString, Cell> cells;
    int lastRow = 0;

    bool has(const QString& ref) const { return cells.contains(ref); }
    double number(const QString& ref) const { return cells.value(ref).text.toDouble(); }
    QString text(const QString& ref) const { return cells.value(ref).text; }
};

// What one of the unzip package's programs says of xlsx; empty with error set when it failed.
inline QByteArray unzipTool(const QString& program, const QStringList& arguments, QString& error)
{
    QProcess unzip;
    unzip.start(program, arguments);
    if (!unzip.waitForStarted()) {
        error = QStringLiteral("%1 cannot be started (scripts/setup-deps installs it)").arg(program);
        return {};
    }
    unzip.closeWriteChannel();
    constexpr int kAgainstHangsMs = 60000;
    unzip.waitForFinished(kAgainstHangsMs);
    if (unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0) {
        error = QStringLiteral("%1 %2: %3")
                    .arg(program, arguments.join(QLatin1Char(' ')),
                        QString::fromLocal8Bit(unzip.readAllStandardOutput() + unzip.readAllStandardError()));
        return {};
    }
    return unzip.readAllStandardOutput();
}

inline QByteArray unzipMember(const QString& xlsx, const QString& member, QString& error)
{
    return unzipTool(QStringLiteral("unzip"), { QStringLiteral("-p"), xlsx, member }, error);
}

// The first worksheet of the file and the names of all its sheets.
inline XlsxSheet readXlsxSheet(const QString& xlsx)
{
    XlsxSheet sheet;
    const QByteArray workbook = unzipMember(xlsx, QStringLiteral("xl/workbook.xml"), sheet.error);
    if (!sheet.error.isEmpty())
        return sheet;
    for (QXmlStreamReader xml(workbook); !xml.atEnd();) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sheet"))
            sheet.sheetNames << xml.attributes().value(QLatin1String("name")).toString();
    }
    const QByteArray data = unzipMember(xlsx, QStringLiteral("xl/worksheets/sheet1.xml"), sheet.error);
    if (!sheet.error.isEmpty())
        return sheet;
    QXmlStreamReader xml(data);
    QString ref;
    XlsxSheet::Cell cell;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("row")) {
                sheet.lastRow = xml.attributes().value(QLatin1String("r")).toInt();
            } else if (xml.name() == QLatin1String("c")) {
                ref = xml.attributes().value(QLatin1String("r")).toString();
                const auto type = xml.attributes().value(QLatin1String("t"));
                cell = { type.isEmpty() || type == QLatin1String("n"), QString() };
            } else if (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t")) {
                cell.text = xml.readElementText();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
            sheet.cells.insert(ref, cell);
        }
    }
    if (xml.hasError())
        sheet.error = QStringLiteral("%1: %2").arg(xlsx, xml.errorString());
    return sheet;
}

} // namespace velto::test
