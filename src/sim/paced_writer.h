#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace velto::sim {

// Sends queued replies at the pace of the line: no faster than its characters per second, in small
// chunks from a timer, each reply after its own start delay. Long replies so arrive as they do from
// a real sensor, spread over the time the bytes need on the wire.
class PacedWriter : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 5;

    // `write` puts bytes on the line and answers how many it took (fewer when the line is full);
    // `charactersPerSecond` is asked on every tick, so a port reopened at another speed is followed.
    PacedWriter(std::function<qsizetype(QByteArrayView)> write, std::function<int()> charactersPerSecond,
        QObject* parent = nullptr);

    void enqueue(const QByteArray& bytes, int delayMs);
    qsizetype pending() const;
    bool idle() const { return m_queue.isEmpty(); }

signals:
    void sent(const QByteArray& bytes);

private:
    struct Item {
        QByteArray bytes;
        int delayMs;
    };
    void tick();
    void startItem();

    std::function<qsizetype(QByteArrayView)> m_write;
    std::function<int()> m_charactersPerSecond;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QList<Item> m_queue;
    qsizetype m_done = 0; // bytes of the front item sent
    qint64 m_startMs = 0; // when the front item may start
    double m_credit = 0; // characters the line could have carried but did not yet
    qint64 m_lastMs = 0;
};

} // namespace velto::sim
