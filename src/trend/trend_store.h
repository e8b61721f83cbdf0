#pragma once

#include "trend/sample_series.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace velto::trend {

// What a series is: a reading of one device in one unit. A change of unit starts another series,
// so no line mixes units. `group` sets apart series shown one group at a time (the registers of
// the multiple-devices mode); empty for the rest.
struct SeriesInfo {
    QString name;
    QString unit;
    QString group;

    // "ID 1 Distance (meter)"
    QString label() const;
    bool operator==(const SeriesInfo&) const = default;
};

// Every series of the running program, in the order they first appeared. The pollers' feeds add
// to it; the trend window and the pictures read it.
class TrendStore : public QObject {
    Q_OBJECT
public:
    explicit TrendStore(QObject* parent = nullptr);
    ~TrendStore() override;

    int seriesCount() const { return int(m_series.size()); }
    const SeriesInfo& info(int index) const { return m_series[size_t(index)].info; }
    const SampleSeries& samples(int index) const { return m_series[size_t(index)].samples; }
    // A colour of its own for each series, in order of appearance.
    static QColor colourOf(int index);

    // The index of the series; -1 when there is none yet.
    int indexOf(const SeriesInfo& info) const;
    // The index of the series, added when it is new.
    int ensure(const SeriesInfo& info);

    void append(const SeriesInfo& info, Sample sample);
    void appendValue(const SeriesInfo& info, qint64 timeMs, double value);
    void appendFailure(const SeriesInfo& info, qint64 timeMs);
    // The polling stopped: no line joins what came before to what comes after.
    void breakAll(qint64 timeMs);

    // The time of the earliest and of the latest sample of any series.
    std::optional<qint64> firstTimeMs() const;
    std::optional<qint64> lastTimeMs() const;

signals:
    void seriesAdded(int index);
    void samplesAppended();

private:
    struct Entry {
        SeriesInfo info;
        SampleSeries samples;
    };
    std::vector<Entry> m_series;
};

} // namespace velto::trend
