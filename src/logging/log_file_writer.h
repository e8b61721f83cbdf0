#pragma once

#include <QByteArray>
#include <QString>

namespace velto::logging {

// The log file, opened for one write and closed at once, so no handle stays open between ticks.
class LogFileWriter {
public:
    explicit LogFileWriter(QString path = {})
        : m_path(std::move(path))
    {
    }

    void setPath(const QString& path) { m_path = path; }
    const QString& path() const { return m_path; }

    // Creates the file, emptying one that exists.
    bool create() const;

    // Appends the text in one write. The file must exist: one deleted or moved meanwhile is not
    // re-created. A partly written text is cut off again, so the file holds whole lines only.
    bool append(const QString& text) const;

private:
    QString m_path;
};

} // namespace velto::logging
