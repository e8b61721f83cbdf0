#include "traffic/row_format.h"

#include <QDateTime>
#include <QStringList>

namespace velto::traffic {

namespace {

constexpr char kFirstPrintable = 0x20;
constexpr char kLastPrintable = 0x7e;
constexpr qint64 kMsPerSecond = 1000;

// A field never breaks the line or the columns, whatever bytes a summary quotes.
QString field(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

QString rowHeader()
{
    return QStringLiteral("Time\tSince connect (s)\tGap (ms)\tDir\tProtocol\tLength\tHex\tASCII\tSummary");
}

QString formatRow(const TrafficRow& row)
{
    return QStringList { wallClockText(row.wallClockMs), sinceConnectText(row.sinceConnectMs),
        QString::number(row.gapMs), directionName(row.direction), protocolName(row.protocol),
        QString::number(row.bytes.size()), hexText(row.bytes), asciiText(row.bytes),
        field(row.failure ? QStringLiteral("FAILURE: ") + row.summary : row.summary) }
        .join(QLatin1Char('\t'));
}

QString wallClockText(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString sinceConnectText(qint64 ms)
{
    const qint64 magnitude = ms < 0 ? -ms : ms;
    return QStringLiteral("%1%2.%3")
        .arg(ms < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / kMsPerSecond)
        .arg(magnitude % kMsPerSecond, 3, 10, QLatin1Char('0'));
}

QString hexText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString asciiText(const QByteArray& bytes)
{
    QString text(bytes.size(), QLatin1Char('.'));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] >= kFirstPrintable && bytes[i] <= kLastPrintable)
            text[i] = QLatin1Char(bytes[i]);
    }
    return text;
}

} // namespace velto::traffic
