#include "trend/decimation.h"

namespace velto::trend {

qint64 columnStartMs(TimeSpan span, int columns, int column)
{
    return span.startMs + span.length() * column / columns;
}

ColumnTrace decimate(const SampleSeries& series, TimeSpan span, int columns)
{
    ColumnTrace trace;
    if (columns <= 0 || span.length() <= 0)
        return trace;
    trace.columns.reserve(columns);
    qsizetype from = series.lowerBound(span.startMs);
    if (from > 0)
        trace.before = series.at(from - 1);
    for (int c = 0; c < columns; ++c) {
        const qsizetype to = series.lowerBound(columnStartMs(span, columns, c + 1));
        trace.columns << series.summary(from, to);
        from = to;
    }
    if (from < series.size())
        trace.after = series.at(from);
    return trace;
}

SpanSummary spanSummary(const SampleSeries& series, TimeSpan span)
{
    return series.summary(series.lowerBound(span.startMs), series.lowerBound(span.endMs));
}

} // namespace velto::trend
