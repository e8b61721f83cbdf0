// Recorded sessions: how long a session of the traffic monitor's full 50,000 rows takes to write,
// read and turn into a replay script; how fast the replay's far end recognises requests handed over
// in pieces; and the time from a request written on the replayed line to its whole answer, at
// --speed 0 and at the recorded pace, against what was recorded. Prints figures, checks nothing.
#include "sim/replay_line.h"
#include "sim/replay_responder.h"
#include "sim/session_script.h"
#include "traffic/session_reader.h"
#include "traffic/session_writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace velto;

namespace {

constexpr int kRows = 50000;
constexpr int kRegisters = 64;
constexpr int kRecordedDelayMs = 40;
constexpr int kRoundTrips = 100;
constexpr int kWaitMs = 10000;
constexpr quint16 kCrcInitial = 0xFFFF;
constexpr quint16 kCrcPolynomial = 0xA001;

QByteArray withCrc(QByteArray frame)
{
    quint16 crc = kCrcInitial;
    for (char c : frame) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ kCrcPolynomial : crc >> 1;
    }
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

// A read of one register from slave 1, and its answer.
QByteArray request(int reg)
{
    return withCrc(QByteArray::fromHex("0103") + QByteArray(1, char(reg >> 8)) + QByteArray(1, char(reg))
        + QByteArray::fromHex("0001"));
}
QByteArray answer(int reg)
{
    return withCrc(QByteArray::fromHex("010302") + QByteArray(1, char(reg >> 8)) + QByteArray(1, char(reg)));
}

// A Modbus poll over kRegisters registers, a request and its answer kRecordedDelayMs later.
QList<traffic::TrafficRow> pollRows()
{
    QList<traffic::TrafficRow> rows;
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < kRows; ++i) {
        traffic::TrafficRow row;
        const int reg = (i / 2) % kRegisters;
        row.wallClockMs = start + (i / 2) * 100 + (i % 2) * kRecordedDelayMs;
        row.direction = i % 2 ? traffic::Direction::Rx : traffic::Direction::Tx;
        row.protocol = traffic::Protocol::ModbusRtu;
        row.bytes = i % 2 ? answer(reg) : request(reg);
        row.summary = QStringLiteral("slave 1, register %1").arg(reg);
        rows << row;
    }
    return rows;
}

// Milliseconds from each request written to its whole answer read, over a real pseudo-terminal: a
// client thread writes and reads the port while the replayed line answers on the event loop.
QList<qint64> roundTrips(const sim::ReplayScript& script, double speed)
{
    sim::ReplayLine line(script, speed);
    QList<qint64> times;
    const int fd = ::open(qPrintable(line.devicePath()), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return times;
    termios tio {};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(fd, TCSANOW, &tio);
    std::thread client([fd, &times] {
        for (int i = 0; i < kRoundTrips; ++i) {
            const int reg = i % kRegisters;
            const QByteArray req = request(reg);
            const qsizetype want = answer(reg).size();
            QElapsedTimer timer;
            timer.start();
            if (::write(fd, req.constData(), size_t(req.size())) != req.size())
                break;
            qsizetype got = 0;
            char buf[64];
            while (got < want && timer.elapsed() < kWaitMs) {
                pollfd p { fd, POLLIN, 0 };
                if (::poll(&p, 1, kWaitMs) > 0) {
                    const ssize_t n = ::read(fd, buf, sizeof buf);
                    got += std::max<ssize_t>(n, 0);
                }
            }
            times << timer.elapsed();
        }
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    client.join();
    ::close(fd);
    std::sort(times.begin(), times.end());
    return times;
}

void printTrips(const char* what, const QList<qint64>& times)
{
    if (times.isEmpty()) {
        std::printf("%-34s no line\n", what);
        return;
    }
    std::printf("%-34s median %lld ms, 90th %lld ms, max %lld ms (%lld round trips)\n", what,
        static_cast<long long>(times[times.size() / 2]), static_cast<long long>(times[times.size() * 9 / 10]),
        static_cast<long long>(times.last()), static_cast<long long>(times.size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("session.txt");
    const QList<traffic::TrafficRow> rows = pollRows();

    QElapsedTimer timer;
    timer.start();
    const QString error
        = traffic::saveSession(path, traffic::SessionHeader::thisProgram("/dev/ttyUSB0", "9600,n,8,1"), rows);
    const qint64 writeMs = timer.restart();
    const traffic::SessionRead read = traffic::readSessionFile(path);
    const qint64 readMs = timer.restart();
    if (!error.isEmpty() || !read.session) {
        std::printf("session not written or read: %s %s\n", qPrintable(error), qPrintable(read.message()));
        return 1;
    }
    const sim::ReplayScript script = sim::replayScript(read.session->rows);
    const qint64 scriptMs = timer.restart();
    std::printf("%d rows, %lld bytes: written in %lld ms, read in %lld ms, script in %lld ms\n", kRows,
        static_cast<long long>(QFileInfo(path).size()), static_cast<long long>(writeMs),
        static_cast<long long>(readMs), static_cast<long long>(scriptMs));

    // Every request handed over in pieces of 3 bytes, as a slow driver might.
    sim::ReplayResponder responder(script);
    qint64 answered = 0;
    timer.restart();
    for (const sim::ReplayExchange& exchange : script.exchanges) {
        for (qsizetype at = 0; at < exchange.request.size(); at += 3)
            answered += responder
                            .feed(QByteArrayView(exchange.request)
                                      .sliced(at, std::min<qsizetype>(3, exchange.request.size() - at)))
                            .size();
    }
    const qint64 recogniseMs = std::max<qint64>(timer.elapsed(), 1);
    std::printf("%lld requests recognised in %lld ms (%lld a second)\n", static_cast<long long>(answered),
        static_cast<long long>(recogniseMs), static_cast<long long>(answered * 1000 / recogniseMs));

    printTrips("round trip at --speed 0:", roundTrips(script, 0));
    printTrips("round trip at the recorded 40 ms:", roundTrips(script, 1));
    return 0;
}
