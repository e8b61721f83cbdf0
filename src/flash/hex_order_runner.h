#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>

namespace velto::flash {

// Runs the HEX converter on a file and reports when it has ended, without waiting on the caller's
// thread. The converter rewrites the file in place; what it does to it is its own business.
class HexOrderRunner : public QObject {
    Q_OBJECT
public:
    explicit HexOrderRunner(QObject* parent = nullptr);
    ~HexOrderRunner() override;

    // HexOrder (HexOrder.exe on Windows) next to the running program.
    static QString defaultProgram();
    // Why the program cannot be started, in the system's words ("No such file or directory");
    // empty when it looks startable. Lets a window say so when the file is chosen, not mid-burn.
    static QString unavailableReason(const QString& program);

    void run(const QString& program, const QString& hexPath);
    // Ends a converter still running; done() is not emitted.
    void stop();
    bool isRunning() const { return m_process != nullptr; }

signals:
    void started();
    // "Error starting task ", the program, a line break and the system's reason.
    void failedToStart(const QString& text);
    // The converter has ended well, or never started: the file is to be read now.
    void done();
    // The converter ended with a non-zero status or was killed: what it left is not to be burnt.
    void failed(const QString& text);

private:
    void onError(QProcess* process, QProcess::ProcessError error);
    void onFinished(QProcess* process);

    // One process per run: a killed converter may still be ending when the next run starts.
    QPointer<QProcess> m_process;
};

} // namespace velto::flash
