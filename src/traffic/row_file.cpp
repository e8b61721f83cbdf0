#include "traffic/row_file.h"

#include "common/whole_file.h"
#include "traffic/row_format.h"

#include <QTextStream>

namespace velto::traffic {

QString saveRows(const QString& path, const QList<TrafficRow>& rows)
{
    WholeFile file(path);
    if (!file.open())
        return file.errorString();
    QTextStream out(&file.device());
    out.setEncoding(QStringConverter::Utf8);
    out << rowHeader() << "\r\n";
    for (const TrafficRow& row : rows)
        out << formatRow(row) << "\r\n";
    out.flush();
    if (out.status() != QTextStream::Ok) {
        const QString error = file.errorString();
        file.cancel();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace velto::traffic
