#include "common/whole_file.h"

#include <QFileInfo>

namespace velto {

namespace {
bool isDeviceOrPipe(const QString& path)
{
    const QFileInfo info(path);
    // Following links: a link to /dev/full is /dev/full.
    return info.exists() && !info.isFile() && !info.isDir();
}
} // namespace

WholeFile::WholeFile(const QString& path)
    : m_inPlace(isDeviceOrPipe(path))
    , m_save(path)
    , m_direct(path)
{
}

bool WholeFile::open()
{
    return m_inPlace ? m_direct.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
                     : m_save.open(QIODevice::WriteOnly);
}

QIODevice& WholeFile::device()
{
    return m_inPlace ? static_cast<QIODevice&>(m_direct) : static_cast<QIODevice&>(m_save);
}

bool WholeFile::commit()
{
    if (!m_inPlace)
        return m_save.commit();
    // Closing forgets an earlier write error, so it is kept first.
    bool ok = m_direct.error() == QFileDevice::NoError && m_direct.flush();
    if (!ok)
        m_error = m_direct.errorString();
    m_direct.close();
    if (ok && m_direct.error() != QFileDevice::NoError) {
        ok = false;
        m_error = m_direct.errorString();
    }
    return ok;
}

void WholeFile::cancel()
{
    if (m_inPlace)
        m_direct.close();
    else
        m_save.cancelWriting();
}

QString WholeFile::errorString() const
{
    if (!m_inPlace)
        return m_save.errorString();
    return m_error.isEmpty() ? m_direct.errorString() : m_error;
}

} // namespace velto
