#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QString>

namespace velto::serial {

class InProcessLink;

// A line that never leaves the program, for systems without pseudo-terminals: a device (the
// simulated sensors) on one end, and on the other whichever InProcessLink opened the wire by its
// location, the way a port is opened by its path. Both ends live on one thread.
//
// Like a real line, the wire holds what the device sent until the program reads it, opening the
// port or clearing its input drops that, and a device talking to a closed port fills the wire up to
// kCapacityBytes and loses the rest.
class InProcessWire final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kCapacityBytes = 64 * 1024;

    // `name` says what the wire carries; the location made of it is unique in the program.
    explicit InProcessWire(const QString& name, QObject* parent = nullptr);
    // An open link loses its line on its next turn.
    ~InProcessWire() override;

    // What a link opens, e.g. "inprocess:simulated-line".
    QString location() const { return m_location; }
    static InProcessWire* find(const QString& location);
    // True when the text names an in-process line, existing or not: such a text is no device path.
    static bool looksLikeOne(const QString& text);

    // The device's side. Puts bytes on the wire toward the program; answers how many fitted.
    qsizetype write(QByteArrayView bytes);
    // Bytes the program has not read yet.
    qsizetype unread() const { return m_toProgram.size(); }
    // At the settings the program last opened its port with; 960 until then.
    int charactersPerSecond() const { return m_charactersPerSecond; }
    bool programAttached() const { return !m_link.isNull(); }

signals:
    // What the program wrote, on an event-loop turn after its write.
    void received(const QByteArray& bytes);
    // The program opened its port or cleared its input, on a turn after it did.
    void inputCleared();

private:
    friend class InProcessLink;
    // False when another link has the wire open.
    bool attach(InProcessLink& link, int charactersPerSecond);
    void detach(const InProcessLink& link);
    QByteArray takeForProgram() { return std::exchange(m_toProgram, {}); }
    void dropForProgram() { m_toProgram.clear(); }

    QString m_location;
    QByteArray m_toProgram;
    QPointer<InProcessLink> m_link;
    int m_charactersPerSecond = 960;
};

} // namespace velto::serial
