#include "radar/monitoring_file_lines.h"

#include "radar/radar_format.h"

namespace velto::radar {

namespace {
void appendTimes(QStringList& lines, RequestTimes times)
{
    lines << formatSecondsPlain(times.sendMs) << formatSecondsPlain(times.receiveMs);
}
} // namespace

QStringList spectrumFileLines(const MonitoringRecord& record, QByteArrayView payload, RequestTimes times)
{
    QStringList lines = record.lines();
    lines.reserve(lines.size() + payload.size() + 2);
    for (char byte : payload)
        lines << QString::number(quint8(byte));
    appendTimes(lines, times);
    return lines;
}

QStringList timeDomainFileLines(
    const MonitoringRecord& record, const QList<qint32>& fileSamples, RequestTimes times)
{
    QStringList lines = record.lines();
    lines.reserve(lines.size() + fileSamples.size() + 2);
    for (qint32 sample : fileSamples)
        lines << QString::number(sample);
    appendTimes(lines, times);
    return lines;
}

QByteArray crLfText(const QStringList& lines)
{
    QByteArray text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString& line : lines) {
        text += line.toUtf8();
        text += "\r\n";
    }
    return text;
}

} // namespace velto::radar
