#include "graph/graph_geometry.h"

#include <cmath>
#include <limits>

namespace velto::graph {

namespace {

constexpr int kColumns = 10;
constexpr int kSpectrumRows = 15;
constexpr int kTimeDomainRows = 16;
constexpr int kCombinedRows = 10;
constexpr int kSamplesPerBlock = 32;
constexpr double kInt16Min = std::numeric_limits<qint16>::min();
constexpr double kInt16Max = std::numeric_limits<qint16>::max();

// Rounds as the drawing did: halves to even.
double roundEven(double v)
{
    return std::nearbyint(v);
}

bool fits16(double v)
{
    return std::isfinite(v) && v >= kInt16Min && v <= kInt16Max;
}

GraphMark line(QPointF from, QPointF to, int width, const QColor& colour)
{
    return { QLineF(from, to), width, colour };
}

GraphMark dot(QPointF at)
{
    return { QLineF(at, at), kDotWidth, kDotColour };
}

QString number(double v)
{
    return QString::number(v, 'g', 12);
}

BoxUpdate label(const QString& name, std::optional<QString> text, bool visible)
{
    BoxUpdate u;
    u.objectName = name;
    u.text = std::move(text);
    u.visible = visible;
    return u;
}

BoxUpdate shown(const QString& name, const QString& text)
{
    return label(name, text, true);
}

BoxUpdate hidden(const QString& name)
{
    return label(name, std::nullopt, false);
}

} // namespace

GraphView viewOf(const radar::GraphRequest& request)
{
    if (request.combined)
        return GraphView::Combined;
    return request.kind == radar::MonitoringKind::Spectrum ? GraphView::Spectrum : GraphView::TimeDomain;
}

int gridRows(GraphView view)
{
    switch (view) {
    case GraphView::Spectrum:
        return kSpectrumRows;
    case GraphView::TimeDomain:
        return kTimeDomainRows;
    case GraphView::Combined:
        return kCombinedRows;
    }
    return kCombinedRows;
}

int gridColumns(GraphView)
{
    return kColumns;
}

GraphMarks backgroundMarks(GraphView view, QSizeF size)
{
    const double w = size.width();
    const double h = std::trunc(size.height());
    GraphMarks marks;
    marks << GraphMark { QLineF(0, h, 0, h), kAxisWidth, kAxisColour };
    marks << line({ 0, h }, { w, h }, kAxisWidth, kAxisColour);
    const int rows = gridRows(view);
    for (int k = 1; k <= rows; ++k)
        marks << line({ 0, k * h / rows }, { w, k * h / rows }, kLineWidth, kGridColour);
    const int columns = gridColumns(view);
    for (int k = 0; k <= columns; ++k)
        marks << line({ k * w / columns, 0 }, { k * w / columns, h }, kLineWidth, kGridColour);
    return marks;
}

GraphMarks seriesMarks(const radar::GraphRequest& request, QSizeF size)
{
    GraphMarks marks;
    const QList<int>& v = request.values;
    if (v.isEmpty())
        return marks;
    const double w = size.width();
    const double h = std::trunc(size.height());
    const qsizetype n = v.size() - 1;
    const double step = n > 0 ? w / double(n) : 0.0;
    const bool spectrum = request.kind == radar::MonitoringKind::Spectrum;
    const double span = double(request.rawMax) - double(request.rawMin);
    if (!spectrum && span == 0)
        return marks; // nothing to scale the samples by: grid and labels only
    const QColor& lineColour = spectrum && request.combined ? kCombinedSpectrumLineColour : kSeriesLineColour;
    auto height = [&](int value) {
        return spectrum ? h - value * h / kSpectrumTop : h - (value - double(request.rawMin)) * h / span;
    };

    double y = 0; // a first spectrum bin off the scale sits on the top edge
    for (qsizetype i = 0; i <= n; ++i) {
        const double x = roundEven(double(i) * step);
        if (!fits16(x))
            break;
        if (!spectrum || v.at(i) < kSpectrumTop) {
            const double exact = roundEven(height(v.at(i)));
            if (!fits16(exact))
                break;
            y = exact;
        }
        // The line aims at the next value itself, even where its dot is held below the top.
        if (i < n)
            marks << line({ x, y }, { x + step, height(v.at(i + 1)) }, kLineWidth, lineColour);
        marks << dot({ x, y });
    }
    return marks;
}

GraphMarks pictureMarks(const QList<radar::GraphRequest>& held, QSizeF size)
{
    if (held.isEmpty())
        return {};
    GraphMarks marks = backgroundMarks(viewOf(held.last()), size);
    for (const radar::GraphRequest& r : held)
        marks += seriesMarks(r, size);
    return marks;
}

QList<BoxUpdate> labelUpdates(const QList<radar::GraphRequest>& held)
{
    if (held.isEmpty())
        return {};
    const radar::GraphRequest& last = held.last();
    const GraphView view = viewOf(last);
    const radar::GraphRequest* raw = nullptr;
    for (const radar::GraphRequest& r : held)
        if (r.kind == radar::MonitoringKind::TimeDomain)
            raw = &r;
    const double rawMin = raw ? raw->rawMin : 0;
    const double rawMax = raw ? raw->rawMax : 0;
    const auto rawText = [raw](double v) { return raw ? number(v) : QString(); };
    const bool combined = view == GraphView::Combined;
    const bool spectrum = view == GraphView::Spectrum;
    const bool timeDomain = view == GraphView::TimeDomain;

    QList<BoxUpdate> out;
    out << shown(QStringLiteral("FFT_Raw_Label"),
        combined       ? QStringLiteral("FFT and RAW Graph")
            : spectrum ? QStringLiteral("FFT Graph")
                       : QStringLiteral("RAW Graph"));
    out << label(QStringLiteral("FrequencyCellLabel"), std::nullopt, !combined);
    if (combined) {
        out << hidden(QStringLiteral("FrequencyCellText"));
    } else {
        const int points = spectrum ? (last.fft.end - last.fft.start + 1) * int(radar::kBlockPayload)
                                    : (last.raw.end - last.raw.start + 1) * kSamplesPerBlock;
        out << shown(QStringLiteral("FrequencyCellText"), QString::number(points));
    }
    for (const char* name : { "FFTLabel", "RAWLabel", "FFTFrame", "RAWFrame" })
        out << label(QString::fromLatin1(name), std::nullopt, combined);
    out << label(QStringLiteral("MaxRAWLabel"), rawText(rawMax), combined);
    out << label(QStringLiteral("MiddleRAWLabel"), rawText((rawMax - rawMin) / 2 + rawMin), combined);
    out << label(QStringLiteral("MinRAWLabel"), rawText(rawMin), combined);
    out << shown(QStringLiteral("FFTStartBlockText"), QString::number(last.fft.start));
    out << shown(QStringLiteral("FFTEndBlockText"), QString::number(last.fft.end));
    out << shown(QStringLiteral("RAWStartBlockText"), QString::number(last.raw.start));
    out << shown(QStringLiteral("RAWEndBlockText"), QString::number(last.raw.end));

    // The left scale: the spectrum's dB (the combined view keeps 0, 75 and 150), or the samples.
    const bool dbScale = spectrum || combined;
    out << shown(QStringLiteral("FFT0_Raw0Label"), timeDomain ? rawText(rawMin) : QStringLiteral("0"));
    out << shown(QStringLiteral("FFT150_Raw64kLabel"), timeDomain ? rawText(rawMax) : QStringLiteral("150"));
    out << label(QStringLiteral("Raw16kLabel"), rawText(rawMin + (rawMax - rawMin) / 4), timeDomain);
    out << label(QStringLiteral("Raw32kLabel"),
        combined ? QStringLiteral("75") : rawText(rawMin + (rawMax - rawMin) / 2), timeDomain || combined);
    out << label(QStringLiteral("Raw48kLabel"), rawText(rawMax - (rawMax - rawMin) / 4), timeDomain);
    for (const char* name : { "FFT40Label", "FFT80Label", "FFT120Label" })
        out << label(QString::fromLatin1(name), std::nullopt, spectrum);
    out << label(QStringLiteral("FFTdbLabel"), std::nullopt, dbScale);
    return out;
}

std::optional<double> labelLevel(const QString& objectName)
{
    static const QList<std::pair<QString, double>> kLevels {
        { QStringLiteral("FFT0_Raw0Label"), 0.0 },
        { QStringLiteral("Raw16kLabel"), 0.25 },
        { QStringLiteral("Raw32kLabel"), 0.5 },
        { QStringLiteral("Raw48kLabel"), 0.75 },
        { QStringLiteral("FFT40Label"), 40.0 / kSpectrumTop },
        { QStringLiteral("FFT80Label"), 80.0 / kSpectrumTop },
        { QStringLiteral("FFT120Label"), 120.0 / kSpectrumTop },
        { QStringLiteral("FFT150_Raw64kLabel"), 1.0 },
        { QStringLiteral("MinRAWLabel"), 0.0 },
        { QStringLiteral("MiddleRAWLabel"), 0.5 },
        { QStringLiteral("MaxRAWLabel"), 1.0 },
    };
    for (const auto& [name, level] : kLevels)
        if (name == objectName)
            return level;
    return std::nullopt;
}

int pointIndexAt(const radar::GraphRequest& request, double x, double width)
{
    const qsizetype n = request.values.size() - 1;
    if (n < 0)
        return -1;
    if (n == 0 || width <= 0)
        return 0;
    const double i = std::round(x * double(n) / width);
    return int(qBound(0.0, i, double(n)));
}

} // namespace velto::graph
