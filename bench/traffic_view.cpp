// The traffic monitor under a 115200 bit/s stream for a given time (10 s by default): a peer thread
// writes into a pseudo-terminal at the line's pace (11,520 bytes a second, a slice every 10 ms)
// while the monitor window records and shows every row, its buffer already full, so every batch
// also drops the oldest rows. Two streams: a sensor's debug text (a row per line) and binary bytes
// no protocol frames (a row per read, the most rows a line can make). Prints rows and bytes, CPU
// time, the longest event-loop stall and the UI thread's own longest busy stretch, and checks that
// every byte sent is in exactly one row.
#include "bench_prompter.h"
#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"
#include "sim/taliq485_debug_talker.h"
#include "stall_meter.h"
#include "traffic/traffic_recorder.h"
#include "ui/traffic_monitor_window.h"
#include "ui/traffic_table_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kBytesPerSecond = 115200 / 10; // 8 data bits, a start and a stop bit
constexpr int kSliceMs = 10;
constexpr int kSliceBytes = kBytesPerSecond * kSliceMs / 1000;
constexpr int kDrainGuardMs = 30000;
constexpr qsizetype kStreamBytes = 1024 * 1024;

QByteArray debugText()
{
    velto::sim::Taliq485DebugTalker talker;
    QByteArray text;
    while (text.size() < kStreamBytes)
        text += talker.cycle();
    return text;
}

QByteArray binaryNoise()
{
    QByteArray bytes(kStreamBytes, '\0');
    QRandomGenerator random(1);
    for (char& b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

struct Result {
    qint64 sent = 0;
    qint64 rowBytes = 0;
    qint64 rows = 0;
    double cpuMs = 0;
    double wallMs = 0;
    double stallMs = 0;
    double busyMs = 0;
    qint64 shown = 0;
    qint64 dropped = 0;
};

Result run(const char* stream, const QByteArray& bytes, velto::traffic::Protocol only, int seconds)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        std::exit(1);
    }
    for (int fd : { master, slave }) {
        termios tio {};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }

    velto::bench::BenchPrompter prompter;
    velto::traffic::TrafficRecorder recorder(velto::SystemClock::instance());
    velto::serial::QtByteLink port;
    velto::serial::TappedByteLink link(port);
    recorder.watchLine(link, only);
    velto::ui::TrafficMonitorWindow window(recorder, prompter);
    window.show();
    // A full buffer: from the first batch on the oldest rows go as new ones come.
    for (qsizetype i = 0; i < window.rows().rows().capacity(); ++i)
        window.rows().append(velto::traffic::TrafficRow {});
    window.TimerTrafficBatch_Timer();

    Result result;
    QObject::connect(&recorder, &velto::traffic::TrafficRecorder::rowRecorded,
        [&result](const velto::traffic::TrafficRow& row) {
            ++result.rows;
            if (row.direction == velto::traffic::Direction::Rx)
                result.rowBytes += row.bytes.size();
        });
    QObject::connect(&link, &velto::serial::ByteLink::readyRead, [&link] { link.readAll(); });
    if (!link.open(QString::fromLocal8Bit(name), QStringLiteral("115200,n,8,1"))) {
        std::fprintf(stderr, "%s\n", qPrintable(link.errorText()));
        std::exit(1);
    }

    std::atomic<bool> stop { false };
    std::atomic<bool> peerDone { false };
    std::atomic<qint64> sent { 0 };
    std::thread peer([&] {
        auto next = std::chrono::steady_clock::now();
        qsizetype at = 0;
        while (!stop.load()) {
            next += std::chrono::milliseconds(kSliceMs);
            std::this_thread::sleep_until(next);
            const QByteArray slice = bytes.mid(at % bytes.size(), kSliceBytes);
            at += slice.size();
            qsizetype written = 0;
            while (written < slice.size()) {
                const ssize_t n
                    = ::write(master, slice.constData() + written, size_t(slice.size() - written));
                if (n <= 0)
                    break;
                written += n;
            }
            sent += written;
        }
        peerDone = true;
    });

    velto::bench::StallMeter stalls;
    stalls.start();
    velto::bench::BusyMeter busy;
    const double cpuBefore = velto::bench::cpuMs();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, [&] { stop = true; });
    QTimer drained;
    drained.setInterval(kSliceMs);
    QObject::connect(&drained, &QTimer::timeout, [&] {
        if (!peerDone)
            return;
        recorder.flushQuietLines();
        if (result.rowBytes >= sent.load())
            QApplication::quit();
    });
    drained.start();
    QTimer::singleShot(seconds * 1000 + kDrainGuardMs, &QApplication::quit);
    QApplication::exec();
    result.wallMs = wall.nsecsElapsed() / velto::bench::kNsPerMs;
    result.cpuMs = velto::bench::cpuMs() - cpuBefore;
    result.stallMs = stalls.stopAndLongestMs();
    result.busyMs = busy.stopAndLongestMs();
    stop = true;
    peer.join();
    window.TimerTrafficBatch_Timer();
    result.sent = sent.load();
    result.shown = window.rows().rowCount();
    result.dropped = window.rows().dropped();
    link.close();
    ::close(master);
    ::close(slave);

    std::printf("traffic_view: stream=%s seconds=%d sent_bytes=%lld row_bytes=%lld rows=%lld rows_per_s=%.0f "
                "shown_rows=%lld dropped_rows=%lld cpu_ms=%.0f wall_ms=%.0f longest_stall_ms=%.2f "
                "longest_ui_busy_ms=%.2f kept_up=%s\n",
        stream, seconds, (long long)result.sent, (long long)result.rowBytes, (long long)result.rows,
        result.rows / (result.wallMs / 1000.0), (long long)result.shown, (long long)result.dropped,
        result.cpuMs, result.wallMs, result.stallMs, result.busyMs,
        result.rowBytes == result.sent ? "yes" : "no");
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : kDefaultSeconds;
    const Result text = run("debug-text", debugText(), velto::traffic::Protocol::Debug, seconds);
    const Result noise = run("unframed-bytes", binaryNoise(), velto::traffic::Protocol::Unknown, seconds);
    return text.rowBytes == text.sent && noise.rowBytes == noise.sent ? 0 : 1;
}
