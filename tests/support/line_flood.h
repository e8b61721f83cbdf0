#pragma once

#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

namespace velto::test {

// Pours random bytes into the far end of a line, a burst every few milliseconds, as a device
// talking at the wrong baud rate or a shorted line would. Bytes the line cannot take are dropped.
class LineFlood : public QObject {
public:
    static constexpr int kBurstBytes = 512;
    static constexpr int kEveryMs = 5;

    // fd: a non-blocking descriptor the test keeps open while the flood runs.
    explicit LineFlood(int fd, quint32 seed = 1);

    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    qint64 bytesSent() const { return m_sent; }
    // Bursts tried, whether or not the line took them.
    qint64 bursts() const { return m_bursts; }

private:
    void burst();

    int m_fd;
    QRandomGenerator m_random;
    QTimer m_timer;
    qint64 m_sent = 0;
    qint64 m_bursts = 0;
};

} // namespace velto::test
