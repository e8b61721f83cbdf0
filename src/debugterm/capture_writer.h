#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace velto::debugterm {

// The capture file of the debug terminal: created (replacing any file of that name) when capture
// starts, written as the stream arrives, closed when capture stops. The file only ever ends at a
// line end: the line under way is held back until its CR LF has come, and dropped when capture or
// listening stops before it, so a capture cut anywhere can be parsed. Every write is flushed at
// once, so a full disk or a vanished file shows at the write that failed and nothing sits unwritten
// in a buffer when the program ends.
class CaptureWriter {
public:
    // A "line" this long without an end is no debug line; it goes to the file unfinished rather
    // than being held without bound.
    static constexpr qsizetype kMaxHeldBytes = 1 << 20;

    CaptureWriter() = default;
    ~CaptureWriter() { close(); }
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // False (and errorText set) when the file cannot be created, or is a pipe or a socket: opening
    // one waits for a reader, and it cannot end at a line end when capture stops.
    bool open(const QString& path);
    // False (and errorText set) when the bytes could not all be written; the file is closed then.
    bool write(QByteArrayView bytes);
    // Drops the line under way: what follows does not continue it.
    void dropUnfinishedLine() { m_held.clear(); }
    void close();

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }
    QString errorText() const { return m_errorText; }
    qint64 bytesWritten() const { return m_written; }

private:
    bool writeThrough(QByteArrayView bytes);
    bool fail(const QString& what);
    // The file was removed from its folder while open: writes would go nowhere anyone can read.
    bool wasRemoved() const;

    QFile m_file;
    QString m_path;
    QString m_errorText;
    QByteArray m_held; // the line under way, not yet ended
    qint64 m_written = 0;
};

} // namespace velto::debugterm
