#pragma once

#include <QObject>
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

    void run(const QString& program, const QString& hexPath);
    // Ends a converter still running; done() is not emitted.
    void stop();
    bool isRunning() const { return m_running; }

signals:
    void started();
    // "Error starting task ", the program, a line break and the system's reason.
    void failedToStart(const QString& text);
    // The converter has ended, or never started: the file is to be read now.
    void done();

private:
    void onError(QProcess::ProcessError error);
    void onFinished();

    QProcess m_process;
    bool m_running = false;
};

} // namespace velto::flash
