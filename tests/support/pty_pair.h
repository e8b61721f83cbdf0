#pragma once

#include <QByteArray>
#include <QString>

namespace velto::test {

// A pseudo-terminal pair made for one test: the program under test opens slavePath() as its serial
// port; the test (or a peer) talks through the master side, or opens the path of a second pair.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes all bytes to the master side.
    bool writeMaster(const QByteArray& bytes);
    // Whatever the master side has now, without waiting.
    QByteArray readMasterNow();
    // Closes the master side: the slave side sees the line go away.
    void closeMaster();
    // Closes the slave fd this object keeps so that the line stays up between opens.
    void closeKeeper();

private:
    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_slavePath;
};

// Two pseudo-terminals whose master sides are wired to each other by a pump on the event loop, so
// two serial-port users (a master and a Qt peer) can both open an ordinary device path.
class PtyBridge {
public:
    PtyBridge();
    ~PtyBridge();
    bool isValid() const;
    QString pathA() const { return m_a.slavePath(); }
    QString pathB() const { return m_b.slavePath(); }
    // Stops forwarding and closes both master sides: both ends see the line go away.
    void cut();

private:
    PtyPair m_a;
    PtyPair m_b;
    class Pump;
    Pump* m_pump = nullptr;
};

} // namespace velto::test
