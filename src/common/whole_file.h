#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>

namespace velto {

// A file that appears whole or not at all: a plain file is written beside its final name and
// renamed into place on commit (QSaveFile). A device or a pipe in the file's place (/dev/full, a
// FIFO) is written in place instead: renaming over it would replace it by a plain file and report
// success, where the user asked for the device and its failure.
class WholeFile {
public:
    explicit WholeFile(const QString& path);

    bool open();
    QIODevice& device();
    // Everything written reached the file (or the device took it); false otherwise, nothing replaced.
    bool commit();
    // Drops what was written; a plain file keeps what it held before.
    void cancel();
    QString errorString() const;

private:
    bool m_inPlace;
    QSaveFile m_save;
    QFile m_direct;
    QString m_error;
};

} // namespace velto
