#include "trend/trend_store.h"

#include <array>

namespace velto::trend {

namespace {

// Ten colours that stay apart from each other on a white plot.
constexpr std::array<QRgb, 10> kPalette { 0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
    0xe377c2, 0x17becf, 0x7f7f7f, 0xbcbd22 };

} // namespace

QString SeriesInfo::label() const
{
    return unit.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, unit);
}

TrendStore::TrendStore(QObject* parent)
    : QObject(parent)
{
}

TrendStore::~TrendStore() = default;

QColor TrendStore::colourOf(int index)
{
    return QColor(kPalette[size_t(index) % kPalette.size()]);
}

int TrendStore::indexOf(const SeriesInfo& info) const
{
    for (size_t i = 0; i < m_series.size(); ++i) {
        if (m_series[i].info == info)
            return int(i);
    }
    return -1;
}

int TrendStore::ensure(const SeriesInfo& info)
{
    if (const int index = indexOf(info); index >= 0)
        return index;
    m_series.push_back(Entry { info, {} });
    const int index = int(m_series.size()) - 1;
    emit seriesAdded(index);
    return index;
}

void TrendStore::append(const SeriesInfo& info, Sample sample)
{
    m_series[size_t(ensure(info))].samples.append(sample);
    emit samplesAppended();
}

void TrendStore::appendValue(const SeriesInfo& info, qint64 timeMs, double value)
{
    append(info, Sample { timeMs, value, SampleKind::Value });
}

void TrendStore::appendFailure(const SeriesInfo& info, qint64 timeMs)
{
    append(info, Sample { timeMs, 0, SampleKind::Failed });
}

void TrendStore::breakAll(qint64 timeMs)
{
    bool any = false;
    for (Entry& e : m_series) {
        const auto last = e.samples.last();
        if (last && last->kind != SampleKind::Break) {
            e.samples.append(Sample { timeMs, 0, SampleKind::Break });
            any = true;
        }
    }
    if (any)
        emit samplesAppended();
}

std::optional<qint64> TrendStore::firstTimeMs() const
{
    std::optional<qint64> first;
    for (const Entry& e : m_series) {
        if (!e.samples.isEmpty() && (!first || e.samples.at(0).timeMs < *first))
            first = e.samples.at(0).timeMs;
    }
    return first;
}

std::optional<qint64> TrendStore::lastTimeMs() const
{
    std::optional<qint64> latest;
    for (const Entry& e : m_series) {
        if (const auto s = e.samples.last(); s && (!latest || s->timeMs > *latest))
            latest = s->timeMs;
    }
    return latest;
}

} // namespace velto::trend
