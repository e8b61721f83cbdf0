#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace velto::sim {

// The far side of a serial device the program opens like any port: a pseudo-terminal whose slave
// path is the port, read and written here on the master side from the event loop. The slave side
// is held open here so the line survives the program closing and reopening its port.
class PseudoTerminal : public QObject {
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject* parent = nullptr);
    ~PseudoTerminal() override;

    bool isValid() const { return m_master >= 0; }
    // The device to open as the serial port, e.g. /dev/pts/7; empty when none could be made.
    QString devicePath() const { return m_devicePath; }
    QString errorText() const { return m_errorText; }

    // Puts bytes on the line; answers how many it took (fewer when nobody reads and the line is full).
    qsizetype write(QByteArrayView bytes);
    // Characters per second of the port as the program set it up (8N1 at 9600 baud: 960).
    int charactersPerSecond() const;

signals:
    // What the program wrote, as the system hands it over.
    void received(const QByteArray& bytes);

private:
    void onReadable();

    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_devicePath;
    QString m_errorText;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace velto::sim
