#include "trend/span_summary.h"

#include <algorithm>

namespace velto::trend {

SpanSummary SpanSummary::of(const Sample& sample)
{
    SpanSummary s;
    if (sample.kind == SampleKind::Value) {
        s.values = 1;
        s.min = s.max = s.first = s.last = sample.value;
        return s;
    }
    s.failed = sample.kind == SampleKind::Failed;
    s.broken = s.brokenBeforeFirst = s.brokenAfterLast = true;
    return s;
}

void SpanSummary::append(const SpanSummary& next)
{
    if (next.empty())
        return;
    if (empty()) {
        *this = next;
        return;
    }
    SpanSummary joined;
    joined.values = values + next.values;
    joined.min = std::min(min, next.min);
    joined.max = std::max(max, next.max);
    joined.first = values > 0 ? first : next.first;
    joined.last = next.values > 0 ? next.last : last;
    joined.failed = failed || next.failed;
    joined.broken = broken || next.broken;
    joined.brokenBeforeFirst = values > 0 ? brokenBeforeFirst : (broken || next.brokenBeforeFirst);
    joined.brokenAfterLast = next.values > 0 ? next.brokenAfterLast : (next.broken || brokenAfterLast);
    joined.brokenInside = brokenInside || next.brokenInside
        || (values > 0 && next.values > 0 && (brokenAfterLast || next.brokenBeforeFirst));
    *this = joined;
}

} // namespace velto::trend
