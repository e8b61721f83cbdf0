#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace velto {

// What comes at any rate for a view, handed on in batches: the first piece of a batch starts the
// batch period and the whole batch goes out when it ends, so a fast stream costs one view update
// per period rather than one per piece. Text is gathered here; pieces another holder keeps (a
// model's waiting rows) are only announced, and their batch comes out as empty text.
class BatchedAppender : public QObject {
    Q_OBJECT
public:
    static constexpr int kBatchMs = 50;

    explicit BatchedAppender(QObject* parent = nullptr);

    void append(const QString& text);
    // A piece kept elsewhere has come.
    void arrived();
    // Drops the text waiting; the next batch tells the view to empty itself first.
    void clear();
    // Drops the text waiting and forgets any clear, telling nobody.
    void discard();
    // Hands on what waits now rather than when the period ends.
    void flush();

    QTimer& timer() { return m_timer; }

signals:
    // The view is to be emptied first when clearFirst is set, then text appended.
    void batchReady(bool clearFirst, const QString& text);

private:
    void startPeriod();

    QTimer m_timer;
    QString m_text;
    bool m_clearFirst = false;
    bool m_arrived = false;
};

} // namespace velto
