#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

namespace velto::sim {

// The simulated devices' end of their line, whatever joins it to the program: a pseudo-terminal the
// program opens by path, or a wire inside the program.
class DeviceEnd : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isValid() const = 0;
    // What the program opens as its port; empty when the line could not be made.
    virtual QString location() const = 0;
    virtual QString errorText() const = 0;

    // Puts bytes on the line toward the program; answers how many it took (fewer when it is full).
    virtual qsizetype write(QByteArrayView bytes) = 0;
    // Characters per second of the port as the program set it up (8N1 at 9600 baud: 960).
    virtual int charactersPerSecond() const = 0;
    // Bytes on their way to the program that it has not read yet.
    virtual qsizetype unread() const = 0;

signals:
    // What the program sent.
    void received(const QByteArray& bytes);
    // The program cleared its input, as it does on opening the port.
    void inputCleared();
};

} // namespace velto::sim
