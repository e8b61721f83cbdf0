#include "cli/trace.h"

#include "common/clock.h"
#include "traffic/row_format.h"
#include "traffic/traffic_recorder.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstdio>

namespace velto::cli {

namespace {

bool wanted = false;

void printRow(const QString& line)
{
    std::fputs(qPrintable(line), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Made at the first line or master traced, so a command that stops at its arguments prints nothing.
traffic::TrafficRecorder* recorder()
{
    static QPointer<traffic::TrafficRecorder> r;
    if (!r && wanted) {
        // Goes with the application, after the command's links and master.
        r = new traffic::TrafficRecorder(SystemClock::instance(), QCoreApplication::instance());
        printRow(traffic::rowHeader());
        QObject::connect(r, &traffic::TrafficRecorder::rowRecorded,
            [](const traffic::TrafficRow& row) { printRow(traffic::formatRow(row)); });
        r->setRecording(true);
    }
    return r;
}

} // namespace

QCommandLineOption traceOption()
{
    return { QStringLiteral("trace"),
        QStringLiteral(
            "Print the line traffic on stderr, one row per frame, as the traffic monitor shows it.") };
}

void startTrace()
{
    wanted = true;
}

bool tracing()
{
    return wanted;
}

void traceLine(serial::TappedByteLink& link, traffic::Protocol only)
{
    if (tracing())
        recorder()->watchLine(link, only);
}

void traceModbus(modbus::ModbusMaster& master)
{
    if (tracing())
        recorder()->watchModbus(master);
}

} // namespace velto::cli
