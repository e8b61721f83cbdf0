#pragma once

#include <QDir>
#include <QFile>
#include <QString>

namespace velto::test {

// A HEX converter made by the test: a shell script that notes each run (its one argument) in
// runs.log next to itself, then runs the extra shell lines ("$1" is the file).
inline QString writeStandInConverter(const QString& dir, const QString& extra = {})
{
    const QString path = QDir(dir).filePath(QStringLiteral("HexOrder"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    const QString log = QDir(dir).filePath(QStringLiteral("runs.log"));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n%2\n").arg(log, extra).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

// The arguments of every run of the stand-in converter in dir so far.
inline QStringList standInConverterRuns(const QString& dir)
{
    QFile log(QDir(dir).filePath(QStringLiteral("runs.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace velto::test
