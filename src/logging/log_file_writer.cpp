#include "logging/log_file_writer.h"

#include <QFile>

namespace velto::logging {

bool LogFileWriter::create() const
{
    if (m_path.isEmpty())
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.close();
    return true;
}

bool LogFileWriter::append(const QString& text) const
{
    if (m_path.isEmpty())
        return false;
    QFile file(m_path);
    if (!file.open(
            QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return false;
    const qint64 before = file.size();
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        if (!file.isSequential())
            file.resize(before);
        return false;
    }
    file.close();
    return file.error() == QFileDevice::NoError;
}

} // namespace velto::logging
