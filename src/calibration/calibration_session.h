#pragma once

#include "calibration/calibration_state.h"
#include "calibration/current_output.h"
#include "calibration/transceiver_parameter.h"
#include "serial/byte_link.h"

#include <QObject>
#include <QTimer>

namespace velto::calibration {

// Sends the calibration messages on the byte link and remembers what the unit received. A
// transceiver update and the defaults are each followed one second later by the 'M' message; until
// then the session is busy and takes no other update (relays still switch). Nothing is remembered
// for a message the link did not take.
class CalibrationSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kFollowUpDelayMs = 1000;

    CalibrationSession(serial::ByteLink& link, CalibrationState& state, QObject* parent = nullptr);

    // False when busy or when the message did not go out (sendFailed tells why).
    bool updateTransceiver(TransceiverParameter parameter, int code);
    bool updateCurrent(CurrentOutput output, int code);
    bool restoreDefaults();
    bool switchRelay(int relay, bool on);

    bool busy() const { return m_state != State::Idle; }
    QTimer& followUpTimer() { return m_followUp; }
    const CalibrationState& remembered() const { return m_remembered; }

signals:
    void sent(const QByteArray& message);
    void sendFailed(const QString& text);
    void busyChanged(bool busy);
    // A message with its follow-up is over; ok when both went out.
    void sequenceFinished(bool ok);
    // The remembered codes, rows or relays changed.
    void rememberedChanged();

private:
    enum class State { Idle, ParameterAwaitingFollowUp, DefaultsAwaitingFollowUp };
    enum class Event { ParameterSent, DefaultsSent, FollowUpDue };

    void advance(Event event);
    void enter(State state);
    bool send(const QByteArray& message);

    serial::ByteLink& m_link;
    CalibrationState& m_remembered;
    QTimer m_followUp;
    State m_state = State::Idle;
};

} // namespace velto::calibration
