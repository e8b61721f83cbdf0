#include "traffic/row_file.h"

#include "traffic/row_format.h"

#include <QSaveFile>
#include <QTextStream>

namespace velto::traffic {

QString saveRows(const QString& path, const QList<TrafficRow>& rows)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << rowHeader() << "\r\n";
    for (const TrafficRow& row : rows)
        out << formatRow(row) << "\r\n";
    out.flush();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace velto::traffic
