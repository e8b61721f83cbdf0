#pragma once

#include "serial/byte_link.h"

#include <QList>

namespace velto::test {

// Keeps what is written; the test feeds incoming bytes with receive().
class FakeByteLink final : public serial::ByteLink {
public:
    using ByteLink::ByteLink;

    QList<QByteArray> written;
    QByteArray incoming;
    bool opened = false;
    bool rts = false;
    bool failOpen = false;
    bool removeEcho = false;
    QString openedPort;
    QString openedSettings;

    bool open(const QString& portName, const QString& settings) override
    {
        if (failOpen)
            return false;
        openedPort = portName;
        openedSettings = settings;
        return opened = true;
    }
    void close() override
    {
        if (opened) {
            opened = false;
            emit closed();
        }
    }
    bool isOpen() const override { return opened; }
    QString portName() const override { return openedPort; }
    bool write(const QByteArray& bytes) override
    {
        if (!opened)
            return false;
        written.append(bytes);
        // As a driver does: the bytes are taken on a later turn of the event loop.
        const qint64 size = bytes.size();
        QMetaObject::invokeMethod(
            this, [this, size] { emit bytesWritten(size); }, Qt::QueuedConnection);
        return true;
    }
    QByteArray readAll() override
    {
        QByteArray out = incoming;
        incoming.clear();
        return out;
    }
    qint64 bytesAvailable() const override { return incoming.size(); }
    bool setRts(bool on) override
    {
        rts = on;
        return opened;
    }
    void clearInput() override { incoming.clear(); }
    QString errorText() const override { return {}; }
    bool setRemoveEcho(bool on) override
    {
        removeEcho = on;
        return true;
    }
    bool removesEcho() const override { return removeEcho; }

    void receive(const QByteArray& bytes)
    {
        incoming.append(bytes);
        emit readyRead();
    }
};

} // namespace velto::test
