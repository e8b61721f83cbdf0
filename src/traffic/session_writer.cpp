#include "traffic/session_writer.h"

#include "common/whole_file.h"
#include "traffic/row_format.h"
#include "traffic/session_reader.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace velto::traffic {

namespace {

constexpr char kLineEnd[] = "\r\n";

// A header value never breaks its line.
QString oneLine(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

QByteArray headerLine(const char* name, const QString& value)
{
    return QByteArray(name) + '\t' + oneLine(value).toUtf8() + kLineEnd;
}

} // namespace

SessionHeader SessionHeader::thisProgram(const QString& port, const QString& settings, const QDateTime& date)
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return { QStringLiteral("%1 %2").arg(
                 program.isEmpty() ? QStringLiteral("velto") : program, QStringLiteral(VELTO_VERSION)),
        date, port, settings };
}

QByteArray sessionHeaderText(const SessionHeader& header)
{
    QByteArray text = QByteArray(kSessionMagic) + '\t' + QByteArray::number(kSessionVersion) + kLineEnd;
    text += headerLine("Program", header.program);
    // A local time prints without its offset; as an offset from UTC it keeps it, so the rows' local
    // times mean the same instant wherever the file is read.
    const QDateTime date = header.date.toOffsetFromUtc(header.date.offsetFromUtc());
    text += headerLine("Date", date.toString(Qt::ISODateWithMs));
    text += headerLine("Port", header.port);
    text += headerLine("Settings", header.settings);
    text += rowHeader().toUtf8() + kLineEnd;
    return text;
}

QByteArray sessionRowText(const TrafficRow& row)
{
    return formatRow(row).toUtf8() + kLineEnd;
}

QByteArray sessionEndText(qsizetype rows)
{
    return QByteArray(kSessionEnd) + '\t' + QByteArray::number(rows) + kLineEnd;
}

QString saveSession(const QString& path, const SessionHeader& header, const QList<TrafficRow>& rows)
{
    WholeFile file(path);
    if (!file.open())
        return file.errorString();
    QIODevice& out = file.device();
    bool ok = out.write(sessionHeaderText(header)) >= 0;
    for (qsizetype i = 0; ok && i < rows.size(); ++i)
        ok = out.write(sessionRowText(rows[i])) >= 0;
    ok = ok && out.write(sessionEndText(rows.size())) >= 0;
    if (!ok) {
        const QString error = file.errorString();
        file.cancel();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

SessionWriter::SessionWriter(const QString& path)
    : m_file(path)
{
}

SessionWriter::~SessionWriter()
{
    finish();
}

bool SessionWriter::open(const SessionHeader& header)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_error = m_file.errorString();
        return false;
    }
    write(sessionHeaderText(header));
    return !failed();
}

void SessionWriter::append(const TrafficRow& row)
{
    if (!m_file.isOpen())
        return;
    write(sessionRowText(row));
    ++m_rows;
}

bool SessionWriter::finish()
{
    if (!m_file.isOpen())
        return !failed();
    write(sessionEndText(m_rows));
    m_file.close();
    if (m_error.isEmpty() && m_file.error() != QFileDevice::NoError)
        m_error = m_file.errorString();
    return !failed();
}

void SessionWriter::write(const QByteArray& line)
{
    // After the first failure the file is not complete, whatever follows; the first reason stays.
    if (failed())
        return;
    if (m_file.write(line) != line.size())
        m_error = m_file.errorString();
}

} // namespace velto::traffic
