#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace velto::modbus {

// A box whose check should run once the operator stops typing: every change restarts a
// single-shot timer, and settled() carries the text as it stood when the timer ran out.
class DebouncedTextCheck : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultDelayMs = 1000;

    explicit DebouncedTextCheck(QObject* parent = nullptr, int delayMs = kDefaultDelayMs);

    bool pending() const { return m_timer.isActive(); }
    int delayMs() const { return m_timer.interval(); }

public slots:
    void textChanged(const QString& text);
    // Forgets a pending change, e.g. when the window closes or the box is reset in code.
    void cancel() { m_timer.stop(); }
    // Settles a pending change at once, as if the wait had run out; for tests that drive the wait
    // by hand.
    void settleNow();

signals:
    void settled(const QString& text);

private:
    QTimer m_timer;
    QString m_text;
};

} // namespace velto::modbus
