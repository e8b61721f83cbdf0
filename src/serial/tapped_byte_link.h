#pragma once

#include "serial/byte_link.h"

namespace velto::serial {

// A ByteLink that passes everything to the link it wraps and tells a traffic monitor what went
// over the line: each write, each chunk as it arrives (read at once, so its time is its arrival,
// not when a protocol gets round to reading it), and the port's opening, closing and failures.
// The protocols above see no difference.
class TappedByteLink final : public ByteLink {
    Q_OBJECT
public:
    // The inner link must outlive this one.
    explicit TappedByteLink(ByteLink& inner, QObject* parent = nullptr);

    ByteLink& inner() { return m_inner; }

    bool open(const QString& portName, const QString& settings) override;
    void close() override;
    bool isOpen() const override;
    QString portName() const override;

    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool setRts(bool on) override;
    void clearInput() override;
    QString errorText() const override;

signals:
    void sent(const QByteArray& bytes);
    // A write the port refused: the bytes never went out.
    void sendFailed(const QByteArray& bytes, const QString& reason);
    void received(const QByteArray& bytes);
    // Opened, closed, failed to open, failed on the way: a line for people.
    void lineEvent(const QString& text, bool failure);

private:
    void takeIncoming();

    ByteLink& m_inner;
    QByteArray m_incoming;
};

} // namespace velto::serial
