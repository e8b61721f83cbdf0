// The debug terminal window under a flood: a peer thread writes Taliq485 debug text into a
// pseudo-terminal as fast as it takes it, for a given time (10 s by default), while the window
// listens and captures. Prints bytes and lines sent, received and captured, throughput, CPU time
// and the longest event-loop stall, and checks the capture file line by line against what was sent.
#include "bench_prompter.h"
#include "debugterm/debug_terminal.h"
#include "serial/qt_byte_link.h"
#include "sim/taliq485_debug_talker.h"
#include "stall_meter.h"
#include "ui/taliq485_debug_window.h"
#include "ui_taliq485_debug_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kDrainGuardMs = 60000;
constexpr qsizetype kBlockBytes = 64 * 1024;
constexpr double kMsPerS = 1000.0;
constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// Whole lines of simulated debug output, about kBlockBytes of them.
QByteArray debugBlock()
{
    velto::sim::Taliq485DebugTalker talker;
    QByteArray block;
    while (block.size() < kBlockBytes)
        block += talker.cycle();
    return block;
}

// Every line of the block, CR LF removed: what each capture line holds before its tab.
QList<QByteArray> blockLines(const QByteArray& block)
{
    QList<QByteArray> lines = block.split('\n');
    lines.removeLast(); // after the last line feed
    for (QByteArray& l : lines)
        l.chop(1); // its CR
    return lines;
}

// The capture file against the lines sent: each line's text, a tab, a stamp. Returns the number of
// lines that matched, or -1 at the first that did not.
qint64 checkCapture(const QString& path, const QList<QByteArray>& lines, qint64 expectedLines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 n = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (!line.endsWith("\r\n"))
            return -1;
        line.chop(2);
        const qsizetype tab = line.lastIndexOf('\t');
        bool ok = false;
        line.mid(tab + 1).toDouble(&ok);
        if (tab < 0 || !ok || line.left(tab) != lines.at(n % lines.size()))
            return -1;
        ++n;
    }
    return n == expectedLines ? n : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : kDefaultSeconds;

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    for (int fd : { master, slave }) {
        termios tio {};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }

    QTemporaryDir dir;
    velto::bench::BenchPrompter prompter;
    prompter.savePath = dir.filePath("capture.txt");
    velto::serial::QtByteLink link;
    velto::ui::Taliq485DebugWindow window(link, prompter, velto::SystemClock::instance(),
        [&name] {
            return velto::ui::DebugPort { QString::fromLocal8Bit(name), QStringLiteral("115200,n,8,1") };
        },
        {});
    window.show();
    window.form().mnuOpen->trigger();
    window.form().mnuStart->trigger();
    velto::debugterm::DebugTerminal& terminal = window.terminal();
    if (!terminal.isRunning() || !terminal.isCapturing())
        return 1;

    const QByteArray block = debugBlock();
    const QList<QByteArray> lines = blockLines(block);
    std::atomic<bool> stop { false };
    std::atomic<qint64> sentBytes { 0 };
    std::atomic<bool> peerDone { false };
    std::thread peer([&] {
        struct Done {
            std::atomic<bool>& flag;
            ~Done() { flag = true; }
        } done { peerDone };
        // Blocking writes: the pty takes what the reader has made room for.
        while (!stop.load()) {
            qsizetype written = 0;
            while (written < block.size()) {
                const ssize_t n
                    = ::write(master, block.constData() + written, size_t(block.size() - written));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return;
                written += n;
            }
            sentBytes += block.size();
        }
    });

    velto::bench::StallMeter stalls;
    stalls.start();
    velto::bench::BusyMeter busy;
    const double cpuBefore = velto::bench::cpuMs();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, [&] { stop = true; });
    // Done when the peer has stopped and everything it sent is in. The peer is never waited for
    // here: it may be blocked on a full line that only this thread empties.
    QTimer drained;
    drained.setInterval(10);
    QObject::connect(&drained, &QTimer::timeout, [&] {
        if (peerDone && terminal.bytesReceived() >= sentBytes.load())
            QApplication::quit();
    });
    drained.start();
    QTimer::singleShot(seconds * 1000 + kDrainGuardMs, &QApplication::quit);
    QApplication::exec();
    const double wallMs = wall.nsecsElapsed() / velto::bench::kNsPerMs;
    const double cpu = velto::bench::cpuMs() - cpuBefore;
    const double longestStallMs = stalls.stopAndLongestMs();
    const double longestBusyMs = busy.stopAndLongestMs();
    stop = true;
    window.form().mnuStop->trigger();
    window.form().mnuClose->trigger();
    // The guard ran out with the peer blocked on a full line: empty it until the peer sees stop.
    fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK);
    char sink[4096];
    while (!peerDone) {
        if (::read(slave, sink, sizeof sink) <= 0)
            std::this_thread::yield();
    }
    peer.join();

    const qint64 sent = sentBytes.load();
    const qint64 sentLines = sent / block.size() * lines.size();
    const qint64 captured = checkCapture(prompter.savePath, lines, sentLines);
    const bool keptUp = terminal.bytesReceived() == sent && terminal.linesReceived() == sentLines
        && captured == sentLines && prompter.messages == 0;
    std::printf(
        "debug_stream: seconds=%d sent_bytes=%lld received_bytes=%lld sent_lines=%lld shown_lines=%lld "
        "captured_lines=%lld capture_file_bytes=%lld MiB/s=%.1f cpu_ms=%.0f wall_ms=%.0f "
        "longest_stall_ms=%.2f longest_ui_busy_ms=%.2f kept_up=%s\n",
        seconds, (long long)sent, (long long)terminal.bytesReceived(), (long long)sentLines,
        (long long)terminal.linesReceived(), (long long)captured, (long long)QFile(prompter.savePath).size(),
        sent / kBytesPerMiB / (wallMs / kMsPerS), cpu, wallMs, longestStallMs, longestBusyMs,
        keptUp ? "yes" : "no");
    ::close(slave);
    return keptUp ? 0 : 1;
}
