#include "debugterm/capture_writer.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace velto::debugterm {

namespace {

constexpr char kLineEnd = '\n'; // the capture's own CR LF ends every line; the LF ends it last

bool isPipeOrSocket(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info { };
    // Following links: a link to a pipe is the pipe.
    return ::stat(QFile::encodeName(path).constData(), &info) == 0
        && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
#else
    Q_UNUSED(path);
    return false;
#endif
}

} // namespace

bool CaptureWriter::open(const QString& path)
{
    close();
    m_path = path;
    m_written = 0;
    m_held.clear();
    m_errorText.clear();
    if (isPipeOrSocket(path)) {
        m_errorText = QStringLiteral("The capture file %1 could not be created: it is a pipe, not a file")
                          .arg(QDir::toNativeSeparators(path));
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_errorText = QStringLiteral("The capture file %1 could not be created: %2")
                          .arg(QDir::toNativeSeparators(path), m_file.errorString());
        return false;
    }
    return true;
}

bool CaptureWriter::write(QByteArrayView bytes)
{
    if (!m_file.isOpen())
        return false;
    const qsizetype end = bytes.lastIndexOf(kLineEnd);
    if (end < 0) {
        m_held.append(bytes);
        if (m_held.size() <= kMaxHeldBytes)
            return true;
        return writeThrough(std::exchange(m_held, {}));
    }
    const QByteArrayView whole = bytes.first(end + 1);
    const bool ok = m_held.isEmpty() ? writeThrough(whole) : writeThrough(m_held.append(whole));
    if (!ok)
        return false;
    m_held = bytes.sliced(end + 1).toByteArray();
    return true;
}

bool CaptureWriter::writeThrough(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return true;
    const qint64 n = m_file.write(bytes.data(), bytes.size());
    if (n != bytes.size() || !m_file.flush())
        return fail(m_file.errorString());
    if (wasRemoved())
        return fail(QStringLiteral("the file was deleted"));
    m_written += n;
    return true;
}

void CaptureWriter::close()
{
    m_held.clear();
    if (m_file.isOpen())
        m_file.close();
}

bool CaptureWriter::fail(const QString& what)
{
    m_errorText = QStringLiteral("The capture file %1 could not be written: %2")
                      .arg(QDir::toNativeSeparators(m_path), what);
    m_held.clear();
    // Whatever QFile still buffers cannot go anywhere either.
    m_file.close();
    return false;
}

bool CaptureWriter::wasRemoved() const
{
#ifdef Q_OS_UNIX
    struct stat info { };
    return fstat(m_file.handle(), &info) == 0 && info.st_nlink == 0;
#else
    // Elsewhere an open file cannot be deleted from under its writer.
    return false;
#endif
}

} // namespace velto::debugterm
