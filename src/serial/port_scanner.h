#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace velto::serial {

// One serial port as the system reports it, before probing.
struct PortCandidate {
    QString portName; // "COM3", "ttyUSB0"
    QString systemLocation; // what QSerialPort opens: "COM3", "/dev/ttyUSB0"
    QString description; // the adapter's description, may be empty
};

// One free port offered to the user.
struct PortEntry {
    QString systemLocation;
    QString displayText; // "COM 3" on Windows, "/dev/ttyUSB0 (FT232R USB UART)" elsewhere
};

// Lists the machine's serial ports that can be opened right now, in a stable order (natural order
// of the location, so COM2 comes before COM10). A port that cannot be opened is skipped silently.
// The lister and the probe are replaceable so the ordering and skipping can be checked without
// hardware.
class PortScanner {
public:
    enum class NameStyle { Windows, DevicePath };

    using Lister = std::function<QList<PortCandidate>()>;
    using Probe = std::function<bool(const QString& systemLocation)>;

    PortScanner();
    PortScanner(Lister lister, Probe probe);

    QList<PortEntry> scan() const;

    // The ports QSerialPortInfo knows of.
    static QList<PortCandidate> systemPorts();
    // Opens and closes the port at once; true when that worked.
    static bool openCloseProbe(const QString& systemLocation);

    static NameStyle platformStyle();
    static QString displayText(const PortCandidate& port, NameStyle style);
    // Natural order: digit runs compare by value, so "ttyS2" < "ttyS10".
    static bool naturalLess(const QString& a, const QString& b);

private:
    Lister m_lister;
    Probe m_probe;
    NameStyle m_style;
};

} // namespace velto::serial
