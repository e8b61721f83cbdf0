#include "calibration/calibration_session.h"

#include "calibration/calibration_message.h"

namespace velto::calibration {

CalibrationSession::CalibrationSession(serial::ByteLink& link, CalibrationState& state, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_remembered(state)
{
    m_followUp.setObjectName(QStringLiteral("FollowUpTimer"));
    m_followUp.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the unit is given its full second.
    m_followUp.setTimerType(Qt::PreciseTimer);
    m_followUp.setInterval(kFollowUpDelayMs);
    connect(&m_followUp, &QTimer::timeout, this, [this] { advance(Event::FollowUpDue); });
}

bool CalibrationSession::send(const QByteArray& message)
{
    if (m_link.write(message)) {
        emit sent(message);
        return true;
    }
    const QString why = m_link.isOpen() ? m_link.errorText() : QString();
    emit sendFailed(tr("The calibration message %1 was not sent: %2")
                        .arg(hexBytes(message), why.isEmpty() ? tr("the port is not open") : why));
    return false;
}

bool CalibrationSession::updateTransceiver(TransceiverParameter parameter, int code)
{
    if (busy() || !isInRange(parameter, code))
        return false;
    if (!send(codeMessage(transceiverRow(parameter).letter, quint16(code))))
        return false;
    m_remembered.setCode(parameter, code);
    m_remembered.ParameterIndex = indexOf(parameter);
    emit rememberedChanged();
    advance(Event::ParameterSent);
    return true;
}

bool CalibrationSession::updateCurrent(CurrentOutput output, int code)
{
    if (busy() || code < kMinCurrentCode || code > kMaxCurrentCode)
        return false;
    if (!send(codeMessage(currentRow(output).letter, quint16(code))))
        return false;
    m_remembered.CurrentIndex = indexOf(output);
    emit rememberedChanged();
    return true;
}

bool CalibrationSession::restoreDefaults()
{
    if (busy() || !send(defaultsMessage()))
        return false;
    advance(Event::DefaultsSent);
    return true;
}

bool CalibrationSession::switchRelay(int relay, bool on)
{
    const QByteArray message = relayMessage(relay, on);
    if (message.isEmpty() || !send(message))
        return false;
    m_remembered.setRelay(relay, on);
    emit rememberedChanged();
    return true;
}

void CalibrationSession::enter(State state)
{
    const bool wasBusy = busy();
    m_state = state;
    if (busy() != wasBusy)
        emit busyChanged(busy());
}

void CalibrationSession::advance(Event event)
{
    switch (m_state) {
    case State::Idle:
        if (event == Event::ParameterSent || event == Event::DefaultsSent) {
            m_followUp.start();
            enter(event == Event::ParameterSent ? State::ParameterAwaitingFollowUp
                                                : State::DefaultsAwaitingFollowUp);
        }
        return;
    case State::ParameterAwaitingFollowUp:
    case State::DefaultsAwaitingFollowUp:
        if (event != Event::FollowUpDue)
            return;
        {
            const bool defaults = m_state == State::DefaultsAwaitingFollowUp;
            const bool ok = send(followUpMessage());
            // The defaults count as the unit's once they have been followed up.
            if (ok && defaults) {
                m_remembered.restoreTransceiverDefaults();
                emit rememberedChanged();
            }
            enter(State::Idle);
            emit sequenceFinished(ok);
        }
        return;
    }
}

} // namespace velto::calibration
