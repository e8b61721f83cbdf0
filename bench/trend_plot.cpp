// The trend window over a full store: 1,000,000 samples in 5 series (200,000 each, one a second,
// about 55 hours; a failed poll every 997th), one more sample a second per series arriving while it
// runs. Prints the store's resident memory, the time of a full repaint over the whole range and over
// an hour and a day of it, and the event loop's longest stall while the wheel zooms and a drag pans
// for a given time (5 s by default).
#include "bench_prompter.h"
#include "stall_meter.h"
#include "trend/plot_geometry.h"
#include "trend/plot_painter.h"
#include "trend/trend_store.h"
#include "ui/trend_canvas.h"
#include "ui/trend_window.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kSeries = 5;
constexpr int kSamplesPerSeries = 200000;
constexpr qint64 kSampleSpacingMs = 1000;
constexpr int kFailureEvery = 997;
constexpr int kDefaultSeconds = 5;
constexpr int kRepaints = 30;
constexpr int kGestureMs = 15;
constexpr QSize kWindowSize(1366, 740);
constexpr qint64 kHourMs = 3600 * 1000;
constexpr qint64 kDayMs = 24 * kHourMs;
constexpr double kKiBPerMiB = 1024;

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / kKiBPerMiB;
    }
    return -1;
}

double valueAt(int series, qint64 i)
{
    return 2.0 + series + std::sin(double(i) / 600.0) * 0.5 + std::sin(double(i) * 0.37) * 0.02;
}

velto::trend::SeriesInfo infoOf(int series)
{
    // Three units, so the plot has three value axes.
    static const char* const units[] = { "meter", "meter", "°C", "M3/Hr", "meter" };
    return { QStringLiteral("ID %1 Reading").arg(series + 1), QString::fromUtf8(units[series]), {} };
}

struct Times {
    double median = 0;
    double longest = 0;
};

Times repaintTimes(velto::ui::TrendCanvas& canvas)
{
    QList<double> ms;
    for (int i = 0; i < kRepaints; ++i) {
        QElapsedTimer t;
        t.start();
        // Geometry, decimation and painting, as a paint event after new readings does them.
        canvas.dataChanged();
        canvas.grab();
        ms << double(t.nsecsElapsed()) / velto::bench::kNsPerMs;
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms.last() };
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultSeconds;
    using namespace velto;

    const double before = residentMiB();
    trend::TrendStore store;
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - kSamplesPerSeries * kSampleSpacingMs;
    for (int s = 0; s < kSeries; ++s) {
        const trend::SeriesInfo info = infoOf(s);
        for (qint64 i = 0; i < kSamplesPerSeries; ++i) {
            const qint64 t = start + i * kSampleSpacingMs;
            if ((i + s) % kFailureEvery == 0)
                store.appendFailure(info, t);
            else
                store.appendValue(info, t, valueAt(s, i));
        }
    }
    const double filled = residentMiB();
    std::printf("samples: %d in %d series\n", kSeries * kSamplesPerSeries, kSeries);
    std::printf("resident memory: %.1f MiB before the store, %.1f MiB with it (%.1f MiB for the samples)\n",
        before, filled, filled - before);

    velto::bench::BenchPrompter prompter;
    ui::TrendWindow window(store, prompter);
    window.show();
    // After the first showing, which fits the window to the (small) offscreen screen.
    window.resize(kWindowSize);
    ui::TrendCanvas& canvas = window.canvas();
    std::printf("plot: %dx%d pixels, %lld value axes\n", canvas.width(), canvas.height(),
        static_cast<long long>(canvas.geometry().axes.size()));

    const Times full = repaintTimes(canvas);
    std::printf("repaint, whole range (%.1f h): median %.2f ms, longest %.2f ms\n",
        double(canvas.geometry().span.length()) / kHourMs, full.median, full.longest);
    for (const qint64 length : { kHourMs, kDayMs }) {
        trend::TrendView view;
        view.length = length;
        canvas.setView(view);
        const Times t = repaintTimes(canvas);
        std::printf("repaint, last %lld h: median %.2f ms, longest %.2f ms\n",
            static_cast<long long>(length / kHourMs), t.median, t.longest);
    }
    canvas.showEverything();

    // One sample a second per series, as the polls bring them.
    qint64 next = kSamplesPerSeries;
    QTimer arrivals;
    arrivals.setInterval(int(kSampleSpacingMs));
    QObject::connect(&arrivals, &QTimer::timeout, [&] {
        const qint64 t = QDateTime::currentMSecsSinceEpoch();
        for (int s = 0; s < kSeries; ++s)
            store.appendValue(infoOf(s), t, valueAt(s, next));
        ++next;
    });
    arrivals.start();

    // Wheel notches in and out over the plot and right-button drags across it, one step every 15 ms.
    int step = 0;
    QTimer gestures;
    gestures.setInterval(kGestureMs);
    QObject::connect(&gestures, &QTimer::timeout, [&] {
        const QRectF plot = canvas.geometry().plot;
        const QPointF centre = plot.center();
        const int phase = step++ % 40;
        if (phase < 20) {
            const int delta = phase < 10 ? 120 : -120;
            QWheelEvent wheel(centre, canvas.mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&canvas, &wheel);
        } else {
            const double x = plot.left() + plot.width() * (phase - 20) / 20.0;
            const QPointF at(x, centre.y());
            const auto type = phase == 20 ? QEvent::MouseButtonPress
                : phase == 39             ? QEvent::MouseButtonRelease
                                          : QEvent::MouseMove;
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::RightButton;
            QMouseEvent mouse(type, at, canvas.mapToGlobal(at), Qt::RightButton, held, Qt::NoModifier);
            QApplication::sendEvent(&canvas, &mouse);
        }
    });

    bench::StallMeter stalls;
    bench::BusyMeter busy;
    const double cpuBefore = bench::cpuMs();
    stalls.start();
    gestures.start();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double longestStall = stalls.stopAndLongestMs();
    std::printf(
        "zoom and pan for %d s (%d gestures, %lld samples arrived): longest event-loop stall %.2f ms, "
        "longest busy stretch %.2f ms, CPU %.0f ms\n",
        seconds, step, static_cast<long long>((next - kSamplesPerSeries) * kSeries), longestStall,
        busy.stopAndLongestMs(), bench::cpuMs() - cpuBefore);
    std::printf("resident memory at the end: %.1f MiB\n", residentMiB());
    return 0;
}
