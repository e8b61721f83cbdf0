#include "debugterm/capture_writer.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace velto::debugterm {

bool CaptureWriter::open(const QString& path)
{
    close();
    m_path = path;
    m_written = 0;
    m_errorText.clear();
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
    if (m_file.isOpen())
        m_file.close();
}

bool CaptureWriter::fail(const QString& what)
{
    m_errorText = QStringLiteral("The capture file %1 could not be written: %2")
                      .arg(QDir::toNativeSeparators(m_path), what);
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
