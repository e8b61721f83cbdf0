#pragma once

#include "serial/byte_link.h"
#include "serial/echo_skipper.h"

namespace velto::serial {

// A ByteLink that passes everything to the link it wraps and tells a traffic monitor what went
// over the line: each write, each chunk as it arrives (read at once, so its time is its arrival,
// not when a protocol gets round to reading it), and the port's opening, closing and failures.
// The protocols above see no difference, except that with Remove echo on they never see our own
// frames come back: those are taken out here and reported as echo.
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
    bool setRemoveEcho(bool on) override;
    bool removesEcho() const override { return m_removeEcho; }

signals:
    void sent(const QByteArray& bytes);
    // A write the port refused: the bytes never went out.
    void sendFailed(const QByteArray& bytes, const QString& reason);
    void received(const QByteArray& bytes);
    // Our own bytes came back and were skipped (Remove echo on); no protocol reads them.
    void echoSkipped(const QByteArray& bytes);
    // Opened, closed, failed to open, failed on the way: a line for people.
    void lineEvent(const QString& text, bool failure);

private:
    // Reads what the inner link has; true when something for the protocols above came of it.
    bool takeIncoming();
    void pass(const QByteArray& bytes);

    ByteLink& m_inner;
    QByteArray m_incoming;
    bool m_removeEcho = false;
    EchoSkipper m_echo;
};

} // namespace velto::serial
