#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace velto::cli {

// Turns SIGINT and SIGTERM into a Qt signal on the event loop (the handler only writes a byte to a
// socket pair), so a run ends through the normal shutdown path.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;
    bool isValid() const;

signals:
    void terminationRequested(int signalNumber);

private:
    void onReadable();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace velto::cli
