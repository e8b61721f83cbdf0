#pragma once

#include "traffic/session_header.h"
#include "traffic/traffic_row.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace velto::traffic {

// The lines of a session file (the format is described in session_reader.h), CR LF after each so
// it opens alike everywhere: the header with the column line, one row, the End line.
QByteArray sessionHeaderText(const SessionHeader& header);
QByteArray sessionRowText(const TrafficRow& row);
QByteArray sessionEndText(qsizetype rows);

// Writes a whole session at once (the traffic monitor's Save...). The file appears only whole: a
// failure leaves whatever was there before. Returns empty on success, else what went wrong.
QString saveSession(const QString& path, const SessionHeader& header, const QList<TrafficRow>& rows);

// Writes a session as it happens (velto-cli --record): the header at open, each row as it is
// appended, the End line at finish(). Each line reaches the file at once, so a run that stops
// through its normal end (Ctrl-C included) leaves a complete file, and one killed outright leaves
// a file the reader calls cut short rather than one that looks whole.
class SessionWriter {
public:
    explicit SessionWriter(const QString& path);
    // Finishes a file still open.
    ~SessionWriter();

    // False (errorString() set) when the file cannot be made.
    bool open(const SessionHeader& header);
    bool isOpen() const { return m_file.isOpen(); }
    void append(const TrafficRow& row);
    // Writes the End line and closes; false when any write failed on the way.
    bool finish();
    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    QString path() const { return m_file.fileName(); }

private:
    void write(const QByteArray& line);

    QFile m_file;
    qsizetype m_rows = 0;
    QString m_error;
};

} // namespace velto::traffic
