#pragma once

#include <QList>
#include <QString>
#include <array>

namespace velto::serial {

// One entry of the port list: where to open it and how to show it.
struct PortChoice {
    QString location; // device path or system port name; empty for the simulator until it runs
    QString displayText; // what the port list shows
    bool simulated = false;
    bool debugOutput = false; // the simulated line carries a Taliq485's debug output
    bool replay = false; // a recorded session, asked for at OK, plays the far end
};

// What the port window records at OK; the links open the port later from here.
struct SerialState {
    QList<PortChoice> FreePorts;
    int PortIndex = 0;
    QString typedPort; // a path typed into the editable port box that is not in the list
    QString SerialSettings;
    bool SettingsSaved = false;
    // Port, baud rate, data bits, parity and stop bits list positions at the last OK.
    std::array<int, 5> SavedListPositions { 0, 0, 0, 0, 0 };
    // Remove echo: the links skip our own frames coming back (RS-485 adapters that echo).
    bool removeEcho = false;
    // The network line last given in Port Setup ("rfc2217://host:port"), kept while other ports are used.
    QString networkAddress;

    // The port chosen at the last OK, or an empty location when there is none.
    PortChoice chosenPort() const
    {
        if (!typedPort.isEmpty())
            return { typedPort, typedPort, false };
        if (PortIndex >= 0 && PortIndex < FreePorts.size())
            return FreePorts[PortIndex];
        return {};
    }
};

} // namespace velto::serial
