#pragma once

#include <QString>
#include <QTemporaryFile>

namespace velto::debuglog {

// A workbook is written under a temporary name beside its final one and moved into place only
// when the whole run succeeded, so a failed or cancelled run leaves the previous file (or none)
// under the final name, never half a workbook.
class WorkbookFile {
public:
    explicit WorkbookFile(const QString& finalPath);
    ~WorkbookFile(); // removes the temporary file unless it was committed

    // Makes the temporary file; false when the folder cannot be written.
    bool create();
    QString temporaryPath() const { return m_temporary.fileName(); }
    QString finalPath() const { return m_finalPath; }
    // Replaces the final file with the temporary one.
    bool commit();
    QString errorText() const { return m_error; }

private:
    QString m_finalPath;
    QTemporaryFile m_temporary;
    QString m_error;
};

} // namespace velto::debuglog
