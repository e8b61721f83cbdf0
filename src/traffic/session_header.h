#pragma once

#include <QDateTime>
#include <QString>

namespace velto::traffic {

// What a session file says about itself before its rows (see session_reader.h for the format).
struct SessionHeader {
    QString program; // "velto-pc 0.21": the program and version that recorded it
    QDateTime date; // when the recorded traffic began, with the recording machine's UTC offset
    QString port; // the line as it was opened; empty when none was
    QString settings; // "9600,n,8,1"; empty when unknown

    // This program (its executable's name and version) recording now or from `date`.
    static SessionHeader thisProgram(
        const QString& port, const QString& settings, const QDateTime& date = QDateTime::currentDateTime());
};

} // namespace velto::traffic
