#include "flash/hex_order_runner.h"

#include "flash/flash_texts.h"

#include <QCoreApplication>
#include <QDir>

namespace velto::flash {

HexOrderRunner::HexOrderRunner(QObject* parent)
    : QObject(parent)
{
    // Its output is of no use to anyone here; its complaints are.
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Queued: QProcess may report a failure from inside start(), before the caller is ready for it.
    connect(
        &m_process, &QProcess::started, this,
        [this] {
            if (m_running)
                emit started();
        },
        Qt::QueuedConnection);
    connect(&m_process, &QProcess::errorOccurred, this, &HexOrderRunner::onError, Qt::QueuedConnection);
    connect(&m_process, &QProcess::finished, this, &HexOrderRunner::onFinished, Qt::QueuedConnection);
}

HexOrderRunner::~HexOrderRunner()
{
    m_process.disconnect(this);
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

void HexOrderRunner::run(const QString& program, const QString& hexPath)
{
    stop();
    m_running = true;
    // One argument: the path arrives whole, spaces and all.
    m_process.start(program, { QDir::toNativeSeparators(hexPath) });
}

void HexOrderRunner::stop()
{
    m_running = false;
    if (m_process.state() == QProcess::NotRunning)
        return;
    // QProcess reaps it; whatever it reports afterwards is ignored.
    m_process.kill();
}

void HexOrderRunner::onError(QProcess::ProcessError error)
{
    if (!m_running || error != QProcess::FailedToStart)
        return;
    m_running = false;
    emit failedToStart(kErrorStartingTaskText + QDir::toNativeSeparators(m_process.program())
        + QLatin1Char('\n') + m_process.errorString());
    emit done();
}

void HexOrderRunner::onFinished()
{
    if (!m_running)
        return;
    m_running = false;
    emit done();
}

} // namespace velto::flash
