#include "debuglog/workbook_file.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace velto::debuglog {

namespace {
std::filesystem::path nativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return path.toStdWString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}
} // namespace

WorkbookFile::WorkbookFile(const QString& finalPath)
    : m_finalPath(finalPath)
{
    const QFileInfo info(finalPath);
    // Hidden, and in the same folder so the final move is a rename, not a copy.
    m_temporary.setFileTemplate(info.absolutePath() + QStringLiteral("/.") + info.completeBaseName()
        + QStringLiteral("-XXXXXX.") + info.suffix());
}

WorkbookFile::~WorkbookFile() = default;

bool WorkbookFile::create()
{
    // Checked before the run, not at its end: a folder or a device under the final name would
    // refuse the finished workbook (or, a device, be replaced by it) after the other was replaced.
    const QFileInfo final(m_finalPath);
    if (final.exists() && !final.isFile()) {
        m_error = QStringLiteral("%1: %2").arg(m_finalPath,
            final.isDir() ? QStringLiteral("a folder is in its place") : QStringLiteral("it is not a file"));
        return false;
    }
    if (!m_temporary.open()) {
        m_error
            = QStringLiteral("%1: %2").arg(QFileInfo(m_finalPath).absolutePath(), m_temporary.errorString());
        return false;
    }
    // The writer opens the file by name; a temporary file is private to its owner, a workbook is not.
    m_temporary.setPermissions(
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    m_temporary.close();
    return true;
}

bool WorkbookFile::commit()
{
    std::error_code error;
    // Unlike QFile::rename this replaces an existing file, in one step where the system allows.
    std::filesystem::rename(nativePath(m_temporary.fileName()), nativePath(m_finalPath), error);
    if (error) {
        m_error = QStringLiteral("%1: %2").arg(m_finalPath, QString::fromLocal8Bit(error.message()));
        return false;
    }
    m_temporary.setAutoRemove(false);
    return true;
}

} // namespace velto::debuglog
