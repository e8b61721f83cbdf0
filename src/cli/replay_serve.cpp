#include "cli/replay_serve.h"

#include "cli/commands.h"
#include "cli/signal_watcher.h"
#include "sim/replay_line.h"
#include "sim/session_script.h"
#include "traffic/frame_labels.h"

#include <QCoreApplication>

#include <cstdio>

namespace velto::cli {

int serveReplay(const QString& path, double speed)
{
    QString error;
    traffic::SessionHeader header;
    const std::optional<sim::ReplayScript> script = sim::replayScriptFromFile(path, error, &header);
    if (!script) {
        std::fprintf(stderr, "velto-cli: cannot replay %s: %s\n", qPrintable(path), qPrintable(error));
        return kExitFailure;
    }
    sim::ReplayLine line(*script, speed);
    if (!line.isValid()) {
        std::fprintf(
            stderr, "velto-cli: cannot create the replayed line: %s\n", qPrintable(line.errorText()));
        return kExitFailure;
    }
    QObject::connect(&line, &sim::ReplayLine::unknownRequest, [](const QByteArray& request) {
        std::fprintf(stderr, "velto-cli: not in the session, not answered: %s\n",
            qPrintable(traffic::describeRequest(request)));
        std::fflush(stderr);
    });
    SignalWatcher watcher;
    if (!watcher.isValid()) {
        std::fputs("velto-cli: cannot watch for interrupts\n", stderr);
        return kExitFailure;
    }
    QObject::connect(
        &watcher, &SignalWatcher::terminationRequested, qApp, [] { QCoreApplication::exit(kExitOk); });

    std::fprintf(stderr, "velto-cli: replaying %s: %lld requests recorded by %s on %s at %s, %s\n",
        qPrintable(path), static_cast<long long>(script->exchanges.size()), qPrintable(header.program),
        qPrintable(header.port.isEmpty() ? QStringLiteral("an unnamed port") : header.port),
        qPrintable(header.settings.isEmpty() ? QStringLiteral("unknown settings") : header.settings),
        qPrintable(header.date.toString(Qt::ISODate)));
    if (script->echoed)
        std::fputs("velto-cli: the recorded line echoed what was sent; the echo is replayed too, so the "
                   "program needs Remove echo as it had then\n",
            stderr);
    std::fflush(stderr);
    std::printf("%s\n", qPrintable(line.devicePath()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace velto::cli
