#include "trend/trend_export.h"

#include "common/whole_file.h"

#include <QDateTime>
#include <QTextStream>

namespace velto::trend {

namespace {

constexpr int kValueDigits = 15;

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString timeText(qint64 timeMs, const QTimeZone& zone)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(timeMs, zone);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString writeError(const QString& path, const QString& reason)
{
    return QStringLiteral("Could not write %1: %2").arg(path, reason);
}

} // namespace

bool writeCsv(QIODevice& device, const TrendStore& store, const QList<int>& series, const QTimeZone& zone)
{
    QTextStream out(&device);
    out << kCsvHeader << '\n';
    for (const int index : series) {
        const SampleSeries& samples = store.samples(index);
        const QString label = csvField(store.info(index).label());
        for (qsizetype i = 0; i < samples.size(); ++i) {
            const Sample s = samples.at(i);
            if (s.kind == SampleKind::Break)
                continue;
            out << timeText(s.timeMs, zone) << ',' << label << ',';
            if (s.kind == SampleKind::Value)
                out << QString::number(s.value, 'g', kValueDigits);
            out << '\n';
        }
        if (out.status() != QTextStream::Ok)
            return false;
    }
    out.flush();
    return out.status() == QTextStream::Ok;
}

std::optional<QString> saveCsv(
    const QString& path, const TrendStore& store, const QList<int>& series, const QTimeZone& zone)
{
    WholeFile file(path);
    if (!file.open())
        return writeError(path, file.errorString());
    if (!writeCsv(file.device(), store, series, zone)) {
        const QString reason = file.device().errorString();
        file.cancel();
        return writeError(path, reason);
    }
    if (!file.commit())
        return writeError(path, file.errorString());
    return std::nullopt;
}

std::optional<QString> savePicture(const QString& path, const QImage& picture)
{
    WholeFile file(path);
    if (!file.open())
        return writeError(path, file.errorString());
    if (!picture.save(&file.device(), "PNG")) {
        const QString reason = file.device().errorString();
        file.cancel();
        return writeError(
            path, reason.isEmpty() ? QStringLiteral("the picture could not be encoded") : reason);
    }
    if (!file.commit())
        return writeError(path, file.errorString());
    return std::nullopt;
}

} // namespace velto::trend
