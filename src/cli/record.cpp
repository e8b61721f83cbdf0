#include "cli/record.h"

#include "cli/cli_options.h"
#include "common/clock.h"
#include "traffic/session_writer.h"
#include "traffic/traffic_recorder.h"

#include <QCoreApplication>
#include <QPointer>

#include <memory>

namespace velto::cli {

namespace {

// Its own recorder, apart from --trace's: a command may print its traffic its own way and still
// record every row.
struct Recording {
    std::unique_ptr<traffic::SessionWriter> writer;
    QPointer<traffic::TrafficRecorder> recorder;
};

Recording& recording()
{
    static Recording r;
    return r;
}

} // namespace

bool startRecording(const QString& path, const QString& port, const QString& settings)
{
    Recording& r = recording();
    if (r.writer)
        return true;
    auto writer = std::make_unique<traffic::SessionWriter>(path);
    if (!writer->open(traffic::SessionHeader::thisProgram(port, settings))) {
        printError(QStringLiteral("cannot record to %1: %2").arg(path, writer->errorString()));
        return false;
    }
    r.writer = std::move(writer);
    // Goes with the application, after the command's links.
    r.recorder = new traffic::TrafficRecorder(SystemClock::instance(), QCoreApplication::instance());
    r.recorder->setLine(port, settings);
    QObject::connect(r.recorder, &traffic::TrafficRecorder::rowRecorded, [](const traffic::TrafficRow& row) {
        if (recording().writer)
            recording().writer->append(row);
    });
    r.recorder->setRecording(true);
    return true;
}

void recordLine(serial::TappedByteLink& link, traffic::Protocol only)
{
    if (recording().recorder)
        recording().recorder->watchLine(link, only);
}

bool finishRecording()
{
    Recording& r = recording();
    if (!r.writer)
        return true;
    // Bytes still waiting for the end of their frame belong to the session too.
    if (r.recorder)
        r.recorder->flushQuietLines();
    const std::unique_ptr<traffic::SessionWriter> writer = std::move(r.writer);
    if (!writer->finish()) {
        printError(
            QStringLiteral("the session in %1 is incomplete: %2").arg(writer->path(), writer->errorString()));
        return false;
    }
    return true;
}

} // namespace velto::cli
