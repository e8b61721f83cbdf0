// Per-line overhead of the flash burn beyond the device's answer, and the longest event-loop stall,
// burning a 5,000-line HEX file over a pseudo-terminal into the simulated bootloader answering at
// once. The baseline is the same lines sent one by one by a bare loop that only waits for two bytes;
// then the burner alone, then the burner behind its window (transcript, progress bar, status box).
#include "bench_prompter.h"
#include "flash/flash_burner.h"
#include "serial/qt_byte_link.h"
#include "sim/intel_hex.h"
#include "sim_line_setup.h"
#include "stall_meter.h"
#include "ui/flash_burning_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

using namespace velto;

using bench::cpuMs;
using bench::kNsPerMs;
using bench::StallMeter;

constexpr int kDefaultLines = 5000;
constexpr int kHangGuardMs = 600000;
const QString kLineSettings = QStringLiteral("115200,n,8,1");

struct Figures {
    bool ok = false;
    int lines = 0;
    double wallMs = 0;
    double cpuMs = 0;
    double stallMs = 0;
};

// Runs until done() quits the loop, measuring wall time, CPU and stalls.
template <typename Start> Figures measure(QEventLoop& loop, Start start)
{
    QTimer::singleShot(kHangGuardMs, &loop, [&loop] { loop.exit(1); });
    StallMeter stalls;
    stalls.start();
    const double cpuBefore = cpuMs();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(0, &loop, start);
    Figures f;
    f.ok = loop.exec() == 0;
    f.wallMs = wall.nsecsElapsed() / kNsPerMs;
    f.cpuMs = cpuMs() - cpuBefore;
    f.stallMs = stalls.stopAndLongestMs();
    return f;
}

// Each line written as soon as the previous one's two answer bytes are in: the device's share.
Figures bareLoop(const QList<QByteArray>& lines)
{
    sim::SimulatedLine line;
    serial::QtByteLink link;
    if (!bench::openOnSimLine(line, link, kLineSettings))
        return {};
    line.simulator().bootloader().respond(">B0"); // the device is burning
    line.simulator().bootloader().takeAnswers();
    QEventLoop loop;
    qsizetype next = 0;
    QByteArray answer;
    QObject::connect(&link, &serial::ByteLink::readyRead, &loop, [&] {
        answer += link.readAll();
        if (answer.size() < 2)
            return;
        answer.clear();
        if (++next == lines.size())
            loop.exit(0);
        else
            link.write(lines.at(next));
    });
    Figures f = measure(loop, [&] { link.write(lines.first()); });
    f.lines = int(next);
    f.ok = f.ok && next == lines.size();
    return f;
}

flash::FlashTimings noPauses()
{
    flash::FlashTimings t;
    t.commandPauseMs = 0;
    t.finishPauseMs = 0;
    return t;
}

Figures burner(const QString& path, int lineCount)
{
    sim::SimulatedLine line;
    serial::QtByteLink link;
    if (!bench::openOnSimLine(line, link, kLineSettings))
        return {};
    flash::FlashBurner burner(link, noPauses());
    QEventLoop loop;
    QObject::connect(&burner, &flash::FlashBurner::finished, &loop,
        [&loop](const flash::FlashResult& r) { loop.exit(r.deviceConfirmed() ? 0 : 1); });
    flash::BurnRequest request;
    request.hexPath = path;
    Figures f = measure(loop, [&] { burner.burn(request); });
    f.lines = int(line.simulator().bootloader().records().size());
    f.ok = f.ok && f.lines == lineCount;
    return f;
}

Figures window(const QString& path, int lineCount)
{
    sim::SimulatedLine line;
    serial::QtByteLink link;
    if (!bench::openOnSimLine(line, link, kLineSettings))
        return {};
    velto::bench::BenchPrompter prompter;
    prompter.openPath = path;
    ui::FlashBurningWindow form(link, prompter, true, QString(), noPauses());
    form.show();
    form.BrowseCommand_Click();
    QEventLoop loop;
    QObject::connect(&form.burner(), &flash::FlashBurner::finished, &loop,
        [&loop](const flash::FlashResult& r) { loop.exit(r.deviceConfirmed() ? 0 : 1); });
    // The converter is absent here; its message is part of the run, not of the figures' interest.
    Figures f = measure(loop, [&] { form.SendHEXFileCommand_Click(); });
    f.lines = int(line.simulator().bootloader().records().size());
    f.ok = f.ok && f.lines == lineCount;
    return f;
}

void print(const char* name, const Figures& f, const Figures* baseline)
{
    const double perLine = f.lines > 0 ? f.wallMs / f.lines : 0;
    std::printf("%s: ok=%s lines=%d wall_ms=%.0f ms/line=%.3f cpu_ms/line=%.3f longest_stall_ms=%.2f", name,
        f.ok ? "yes" : "NO", f.lines, f.wallMs, perLine, f.lines > 0 ? f.cpuMs / f.lines : 0, f.stallMs);
    if (baseline && baseline->lines > 0)
        std::printf(" overhead_ms/line=%.3f", perLine - baseline->wallMs / baseline->lines);
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lineCount = argc > 1 ? std::max(2, QByteArray(argv[1]).toInt()) : kDefaultLines;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("firmware.hex"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly))
        return 1;
    const QByteArray content = sim::sampleHexFile(lineCount);
    file.write(content);
    file.close();
    QList<QByteArray> lines = content.split('\n');
    lines.removeAll(QByteArray());
    for (QByteArray& l : lines)
        l = l.trimmed();

    std::printf(
        "flash_burn: %d-line HEX file over a pseudo-terminal into the simulated bootloader\n", lineCount);
    const Figures base = bareLoop(lines);
    print("bare loop (device's answer)", base, nullptr);
    const Figures logic = burner(path, lineCount);
    print("burner", logic, &base);
    const Figures shown = window(path, lineCount);
    print("burner in its window", shown, &base);
    return base.ok && logic.ok && shown.ok ? 0 : 1;
}
