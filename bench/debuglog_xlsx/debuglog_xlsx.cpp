// Converts a realistic one-million-line debug log into the two workbooks, as the parsing window
// does, and the same log with a Python openpyxl (write-only) script, each in a child process of
// its own so its time, CPU and peak memory are its alone. A log a tenth the size shows whether
// memory stays flat in the log size.
//
//   debuglog_xlsx [--lines N] [--python PATH] [--no-python]

#include "debuglog/parsing_job.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using velto::debuglog::ParsingJob;
using velto::debuglog::ParsingPaths;

constexpr qint64 kDefaultLines = 1000000;

// A small deterministic generator, so every run converts the same log.
class Random {
public:
    quint32 next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(m_state >> 33);
    }
    int in(int low, int high) { return low + int(next() % quint32(high - low + 1)); }
    bool chance(int percent) { return int(next() % 100) < percent; }

private:
    quint64 m_state = 0x5eed;
};

struct LogFacts {
    qint64 lines = 0;
    qint64 bytes = 0;
};

// What a sensor in the field prints: per measurement a record line, often a "D: DIST" summary,
// now and then gain changes, a search with its distance and outcome, and other messages.
LogFacts writeLog(const QString& path, qint64 lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    Random random;
    QByteArray out;
    char line[256];
    double time = 0;
    int distance = 2400;
    LogFacts facts;
    auto put = [&](int length) {
        out.append(line, length);
        ++facts.lines;
        if (out.size() > (1 << 20)) {
            file.write(out);
            out.clear();
        }
    };
    while (facts.lines < lines) {
        time += 0.25;
        distance = std::clamp(distance + random.in(-15, 15), 300, 5800);
        const int raw = distance + random.in(-4, 12);
        put(std::snprintf(line, sizeof line,
            "D %d RD %d RD2 %d P %d G %d Z %d A %d Th %d N %d Ti %d Tn %d Tx %d Tp %d M %d C %d S "
            "%d\t%8.2f\r\n",
            distance, raw, raw - random.in(0, 6), random.in(0, 63), random.in(0, 15), random.in(0, 7),
            random.in(100, 4000), random.in(50, 500), random.in(1, 8), random.in(1000, 30000),
            random.in(900, 1900), random.in(2000, 3000), random.in(-20, 60), random.in(0, 3),
            random.chance(60) ? 1 : 0, random.in(0, 9), time));
        if (facts.lines < lines && random.chance(50))
            put(std::snprintf(line, sizeof line, "D: DIST %d RAW %d AVG %d\t%8.2f\r\n", distance, raw,
                distance + random.in(-3, 3), time + 0.01));
        if (facts.lines < lines && random.chance(5))
            put(std::snprintf(
                line, sizeof line, "Decrease gain to %d\t%8.2f\r\n", random.in(0, 15), time + 0.02));
        if (facts.lines < lines && random.chance(8)) {
            put(std::snprintf(line, sizeof line, "R_SEARCH : Current Search Distance =  %5d\t%8.2f\r\n",
                distance + random.in(-200, 200), time + 0.03));
            static const char* const events[]
                = { "R_SEARCH : Occur jump", "---> Enter to QuickSearch", "R_SEARCH : search is failed" };
            if (facts.lines < lines && random.chance(60))
                put(std::snprintf(line, sizeof line, "%s\t%8.2f\r\n", events[random.in(0, 2)], time + 0.04));
        }
        if (facts.lines < lines && random.chance(5))
            put(std::snprintf(line, sizeof line, "ADC window %d..%d, echo lost %d\t%8.2f\r\n",
                random.in(0, 99), random.in(100, 999), random.in(0, 3), time + 0.05));
    }
    file.write(out);
    facts.bytes = file.size();
    return facts;
}

struct ChildRun {
    bool ok = false;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
    QString output;
};

// Runs a program to its end and takes its resource use from the kernel.
ChildRun runChild(const QStringList& arguments)
{
    ChildRun run;
    const QString outputPath
        = QDir::temp().filePath(QStringLiteral("debuglog_xlsx_child_%1.txt").arg(getpid()));
    std::vector<QByteArray> storage;
    std::vector<char*> argv;
    for (const QString& a : arguments)
        storage.push_back(QFile::encodeName(a));
    for (QByteArray& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, QFile::encodeName(outputPath).constData(),
        O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QElapsedTimer wall;
    wall.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.wallSeconds = wall.nsecsElapsed() / 1e9;
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
        + usage.ru_stime.tv_usec / 1e6;
    run.peakMiB = usage.ru_maxrss / 1024.0;
    QFile output(outputPath);
    if (output.open(QIODevice::ReadOnly))
        run.output = QString::fromLocal8Bit(output.readAll()).trimmed();
    output.remove();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// The child side: one conversion, printing "lines all_rows current_rows".
int convert(const QString& log, const QString& folder)
{
    std::atomic<bool> cancel = false;
    const auto outcome = ParsingJob(ParsingPaths::inFolder(log, folder), cancel).run();
    if (!outcome.saved()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(outcome.message), qPrintable(outcome.detail));
        return 1;
    }
    std::printf("%lld %d %d\n", outcome.lines, outcome.allRows, outcome.currentRows);
    return 0;
}

void report(const char* what, const ChildRun& run)
{
    std::printf(
        "%-44s %s  wall %7.2f s  cpu %7.2f s  peak RSS %7.1f MiB  (lines all_rows current_rows: %s)\n", what,
        run.ok ? "ok  " : "FAIL", run.wallSeconds, run.cpuSeconds, run.peakMiB, qPrintable(run.output));
    std::fflush(stdout);
}

qint64 fileBytes(const QString& path)
{
    return QFileInfo(path).size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--convert"))
        return convert(args[2], args[3]);

    qint64 lines = kDefaultLines;
    QString python = QStringLiteral("/usr/bin/python3");
    bool withPython = true;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--lines") && i + 1 < args.size())
            lines = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--python") && i + 1 < args.size())
            python = args[++i];
        else if (args[i] == QLatin1String("--no-python"))
            withPython = false;
        else {
            std::fprintf(stderr, "usage: debuglog_xlsx [--lines N] [--python PATH] [--no-python]\n");
            return 2;
        }
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString bigLog = dir.filePath(QStringLiteral("big.txt"));
    const QString smallLog = dir.filePath(QStringLiteral("small.txt"));
    const LogFacts big = writeLog(bigLog, lines);
    const LogFacts small = writeLog(smallLog, lines / 10);
    std::printf("log: %lld lines, %.1f MiB; small log: %lld lines, %.1f MiB; %d cores\n", big.lines,
        big.bytes / 1048576.0, small.lines, small.bytes / 1048576.0, QThread::idealThreadCount());
    std::fflush(stdout);

    const QString self = QCoreApplication::applicationFilePath();
    for (const char* folder : { "velto_small", "velto_big", "python_big" })
        QDir(dir.path()).mkdir(QLatin1String(folder));
    const ChildRun smallRun
        = runChild({ self, QStringLiteral("--convert"), smallLog, dir.filePath("velto_small") });
    report("velto, small log (memory baseline)", smallRun);
    const ChildRun bigRun
        = runChild({ self, QStringLiteral("--convert"), bigLog, dir.filePath("velto_big") });
    report("velto, big log", bigRun);
    std::printf("  workbooks: %.1f MiB + %.1f MiB; peak RSS big/small %.2f\n",
        fileBytes(dir.filePath("velto_big/TaliqAllDebug.xlsx")) / 1048576.0,
        fileBytes(dir.filePath("velto_big/Taliq4_20Debug.xlsx")) / 1048576.0,
        bigRun.peakMiB / smallRun.peakMiB);
    if (!withPython)
        return bigRun.ok && smallRun.ok ? 0 : 1;

    const ChildRun pythonRun
        = runChild({ python, QStringLiteral(VELTO_OPENPYXL_SCRIPT), bigLog, dir.filePath("python_big") });
    report("python openpyxl write-only, big log", pythonRun);
    std::printf("  workbooks: %.1f MiB + %.1f MiB\n",
        fileBytes(dir.filePath("python_big/TaliqAllDebug.xlsx")) / 1048576.0,
        fileBytes(dir.filePath("python_big/Taliq4_20Debug.xlsx")) / 1048576.0);
    if (bigRun.ok && pythonRun.ok) {
        std::printf("speed-up over python: wall %.1fx, cpu %.1fx; same rows: %s\n",
            pythonRun.wallSeconds / bigRun.wallSeconds, pythonRun.cpuSeconds / bigRun.cpuSeconds,
            pythonRun.output == bigRun.output ? "yes" : "NO");
    }
    return bigRun.ok && smallRun.ok && pythonRun.ok ? 0 : 1;
}
