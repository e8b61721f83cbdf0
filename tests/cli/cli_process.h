#pragma once

#include <QHash>
#include <QProcess>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTest>

namespace velto::test {

// Against hangs only; a healthy run takes a few seconds at most.
constexpr int kCliWaitMs = 60000;
constexpr int kCliExitUsage = 2;

struct CliRun {
    bool finished = false;
    int exitCode = -1;
    QStringList lines; // stdout, one entry per line
    QString errors; // stderr
};

inline CliRun runCli(const QStringList& arguments)
{
    QProcess cli;
    cli.start(QStringLiteral(VELTO_CLI_PATH), arguments);
    CliRun run;
    run.finished = cli.waitForFinished(kCliWaitMs);
    if (!run.finished)
        cli.kill();
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    run.lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(cli.readAllStandardError());
    return run;
}

// `velto-cli sim` for the whole test case: its first line is the device path.
class SimProcess {
public:
    bool start(const QStringList& options = {})
    {
        m_process.start(QStringLiteral(VELTO_CLI_PATH), QStringList { QStringLiteral("sim") } + options);
        if (!m_process.waitForStarted(kCliWaitMs))
            return false;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(kCliWaitMs))
                return false;
        }
        m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return m_path.startsWith(QLatin1String("/dev/"));
    }
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(kCliWaitMs);
    }
    QString path() const { return m_path; }
    // What it printed on stderr so far.
    QString errors()
    {
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        return m_errors;
    }

private:
    QProcess m_process;
    QString m_path;
    QString m_errors;
};

// The Name=text pairs of a printed panel line; quoted texts lose their quotes and escapes.
inline QHash<QString, QString> namedTexts(const QString& line)
{
    QHash<QString, QString> out;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && line.at(i) == u' ')
            ++i;
        const qsizetype eq = line.indexOf(u'=', i);
        if (eq < 0)
            break;
        const QString name = line.mid(i, eq - i);
        QString text;
        i = eq + 1;
        if (i < line.size() && line.at(i) == u'"') {
            for (++i; i < line.size() && line.at(i) != u'"'; ++i) {
                if (line.at(i) == u'\\' && i + 1 < line.size())
                    ++i;
                text += line.at(i);
            }
            ++i;
        } else {
            while (i < line.size() && line.at(i) != u' ')
                text += line.at(i++);
        }
        out.insert(name, text);
    }
    return out;
}

} // namespace velto::test
