// How the radar window copes with its biggest reply: the longest event-loop stall while a
// 15,980-byte time-domain reply (and a 4,352-byte spectrum) arrives from the simulated radar at the
// line's real pace and is judged, with the logic alone and with the radar window showing the hex
// dump; and the time the judging itself takes.
#include "bench_prompter.h"
#include "radar/monitoring_reply.h"
#include "radar/radar_controller.h"
#include "serial/qt_byte_link.h"
#include "sim_line_setup.h"
#include "stall_meter.h"
#include "ui/form_rendo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using namespace velto;

constexpr int kJudgeRepeats = 200;
constexpr int kSlackMs = 1500;
constexpr int kBitsPerCharacter = 10;
constexpr double kMsPerS = 1000.0;

// Stamps each tick of Timer_Rx as the timer's event arrives, before its timeout reaches anyone.
class TickStamp final : public QObject {
public:
    TickStamp(const QElapsedTimer& clock, qint64& stampNs)
        : m_clock(clock)
        , m_stampNs(stampNs)
    {
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            m_stampNs = m_clock.nsecsElapsed();
        return false;
    }

private:
    const QElapsedTimer& m_clock;
    qint64& m_stampNs;
};

struct Figures {
    bool accepted = false;
    qsizetype bytes = 0;
    double waitMs = 0;
    double longestStallMs = 0;
    double handlerMs = 0;
    QByteArray buffer;
};

Figures transfer(int baud, radar::MonitoringKind kind, bool withWindow)
{
    sim::SimulatedLine line;
    serial::QtByteLink link;
    const QString settings = QStringLiteral("%1,n,8,1").arg(baud);
    Figures f;
    if (!bench::openOnSimLine(line, link, settings))
        return f;
    QElapsedTimer clock;
    clock.start();
    qint64 handlerStartNs = 0;

    velto::bench::BenchPrompter prompter;
    std::unique_ptr<ui::FormRendo> window;
    std::unique_ptr<radar::RadarController> own;
    radar::RadarController* controller = nullptr;
    if (withWindow) {
        window = std::make_unique<ui::FormRendo>(link, prompter);
        window->setConnected(true);
        window->show();
        controller = &window->controller();
    } else {
        own = std::make_unique<radar::RadarController>(link, SystemClock::instance());
        controller = own.get();
    }
    // Seen before the timer's own handling, so the stamp comes before the reply handler's work.
    TickStamp tickStamp(clock, handlerStartNs);
    controller->link().timerRx()->installEventFilter(&tickStamp);
    controller->link().setLineSettings(settings);
    const qsizetype size = radar::replySize(kind);
    const int wireMs = int(size * kBitsPerCharacter * kMsPerS / baud);
    f.waitMs = wireMs + kSlackMs;
    controller->setReplyWindows({ 250, int(f.waitMs), int(f.waitMs) });
    radar::RadarInputs& in = controller->inputs();
    in.spectrum = kind == radar::MonitoringKind::Spectrum;
    in.timeDomain = !in.spectrum;
    in.saveToFile = false;

    QObject::connect(
        &controller->link(), &radar::RadarLink::replyDue, [&f](const QByteArray& b) { f.buffer = b; });
    QEventLoop loop;
    QObject::connect(
        controller, &radar::RadarController::replyJudged, &loop, [&](const radar::JudgedReply& r) {
            f.handlerMs = (clock.nsecsElapsed() - handlerStartNs) / bench::kNsPerMs;
            f.accepted = r.accepted;
            loop.quit();
        });
    bench::StallMeter stalls;
    stalls.start();
    controller->MonitoringCommand_Click();
    loop.exec();
    // A last look at the loop once the window has had the dump to lay out.
    QEventLoop settle;
    QTimer::singleShot(100, &settle, &QEventLoop::quit);
    settle.exec();
    f.longestStallMs = stalls.stopAndLongestMs();
    f.bytes = f.buffer.size();
    return f;
}

double judgeMs(const QByteArray& buffer, radar::MonitoringKind kind, double& longest)
{
    QElapsedTimer t;
    double total = 0;
    longest = 0;
    for (int i = 0; i < kJudgeRepeats; ++i) {
        t.start();
        const radar::MonitoringReply r = radar::judgeMonitoringReply(buffer, kind, { 1, 4 }, { 9, 12 });
        const double ms = t.nsecsElapsed() / bench::kNsPerMs;
        if (!r.accepted())
            return -1;
        total += ms;
        longest = std::max(longest, ms);
    }
    return total / kJudgeRepeats;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv(
        "QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    struct Case {
        const char* name;
        int baud;
        radar::MonitoringKind kind;
        bool window;
    };
    const Case cases[] = {
        { "time domain, logic", 115200, radar::MonitoringKind::TimeDomain, false },
        { "time domain, window", 115200, radar::MonitoringKind::TimeDomain, true },
        { "time domain, logic", 9600, radar::MonitoringKind::TimeDomain, false },
        { "time domain, window", 9600, radar::MonitoringKind::TimeDomain, true },
        { "spectrum, window", 9600, radar::MonitoringKind::Spectrum, true },
    };
    std::printf("%-22s %7s %7s %9s %9s %10s %12s\n", "reply", "bit/s", "bytes", "wait ms", "accepted",
        "stall ms", "handler ms");
    bool ok = true;
    QByteArray timeReply;
    for (const Case& c : cases) {
        const Figures f = transfer(c.baud, c.kind, c.window);
        std::printf("%-22s %7d %7lld %9.0f %9s %10.1f %12.2f\n", c.name, c.baud,
            static_cast<long long>(f.bytes), f.waitMs, f.accepted ? "yes" : "NO", f.longestStallMs,
            f.handlerMs);
        ok = ok && f.accepted;
        if (c.kind == radar::MonitoringKind::TimeDomain && f.accepted)
            timeReply = f.buffer;
    }
    double longest = 0;
    const double mean = judgeMs(timeReply, radar::MonitoringKind::TimeDomain, longest);
    std::printf("judging a 15980-byte time-domain reply: mean %.3f ms, longest %.3f ms over %d runs\n", mean,
        longest, kJudgeRepeats);
    return ok && mean >= 0 ? 0 : 1;
}
