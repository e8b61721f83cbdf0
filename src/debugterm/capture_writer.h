#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace velto::debugterm {

// The capture file of the debug terminal: created (replacing any file of that name) when capture
// starts, written as the stream arrives, closed when capture stops. Every write is flushed at once,
// so a full disk or a vanished file shows at the write that failed and nothing sits unwritten in a
// buffer when the program ends.
class CaptureWriter {
public:
    CaptureWriter() = default;
    ~CaptureWriter() { close(); }
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // False (and errorText set) when the file cannot be created.
    bool open(const QString& path);
    // False (and errorText set) when the bytes could not all be written; the file is closed then.
    bool write(QByteArrayView bytes);
    void close();

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }
    QString errorText() const { return m_errorText; }
    qint64 bytesWritten() const { return m_written; }

private:
    bool fail(const QString& what);
    // The file was removed from its folder while open: writes would go nowhere anyone can read.
    bool wasRemoved() const;

    QFile m_file;
    QString m_path;
    QString m_errorText;
    qint64 m_written = 0;
};

} // namespace velto::debugterm
