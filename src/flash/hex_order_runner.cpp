#include "flash/hex_order_runner.h"

#include "flash/flash_texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace velto::flash {

HexOrderRunner::HexOrderRunner(QObject* parent)
    : QObject(parent)
{
}

HexOrderRunner::~HexOrderRunner()
{
    stop();
}

QString HexOrderRunner::defaultProgram()
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("HexOrder.exe");
#else
    const QString name = QStringLiteral("HexOrder");
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

QString HexOrderRunner::unavailableReason(const QString& program)
{
    const QFileInfo info(program);
    if (!info.exists())
        return qt_error_string(ENOENT);
    if (info.isDir())
        return qt_error_string(EISDIR);
    if (!info.isExecutable())
        return qt_error_string(EACCES);
    return {};
}

void HexOrderRunner::run(const QString& program, const QString& hexPath)
{
    stop();
    auto* process = new QProcess(this);
    m_process = process;
    // Its output is of no use to anyone here; its complaints are.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Queued: QProcess may report a failure from inside start(), before the caller is ready for it.
    connect(
        process, &QProcess::started, this,
        [this, process] {
            if (process == m_process)
                emit started();
        },
        Qt::QueuedConnection);
    connect(
        process, &QProcess::errorOccurred, this,
        [this, process](QProcess::ProcessError error) { onError(process, error); }, Qt::QueuedConnection);
    connect(
        process, &QProcess::finished, this, [this, process] { onFinished(process); }, Qt::QueuedConnection);
    // One argument: the path arrives whole, spaces and all.
    process->start(program, { QDir::toNativeSeparators(hexPath) });
}

void HexOrderRunner::stop()
{
    QProcess* process = m_process;
    m_process = nullptr;
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    // Reaped when it has ended; nothing it reports now concerns anyone.
    connect(process, &QProcess::stateChanged, process, [process](QProcess::ProcessState state) {
        if (state == QProcess::NotRunning)
            process->deleteLater();
    });
    process->kill();
}

void HexOrderRunner::onError(QProcess* process, QProcess::ProcessError error)
{
    if (process != m_process || error != QProcess::FailedToStart)
        return;
    m_process = nullptr;
    process->deleteLater();
    emit failedToStart(kErrorStartingTaskText + QDir::toNativeSeparators(process->program())
        + QLatin1Char('\n') + process->errorString());
    emit done();
}

void HexOrderRunner::onFinished(QProcess* process)
{
    if (process != m_process)
        return;
    m_process = nullptr;
    process->deleteLater();
    const QString program = QDir::toNativeSeparators(process->program());
    if (process->exitStatus() == QProcess::CrashExit) {
        emit failed(QStringLiteral("The HEX converter %1 was killed before it ended (%2): nothing was sent "
                                   "to the device.")
                        .arg(program, process->errorString()));
        return;
    }
    if (process->exitCode() != 0) {
        emit failed(
            QStringLiteral("The HEX converter %1 ended with status %2: nothing was sent to the device.")
                .arg(program)
                .arg(process->exitCode()));
        return;
    }
    emit done();
}

} // namespace velto::flash
