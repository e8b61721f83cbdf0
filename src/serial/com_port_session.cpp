#include "serial/com_port_session.h"

namespace velto::serial {

using namespace telnet;

namespace {

// COM-port control commands, client to server; the server answers with the code + 100.
constexpr quint8 kSetBaudRate = 1;
constexpr quint8 kSetDataSize = 2;
constexpr quint8 kSetParity = 3;
constexpr quint8 kSetStopSize = 4;
constexpr quint8 kSetControl = 5;
constexpr quint8 kPurgeData = 12;
constexpr quint8 kServerOffset = 100;
constexpr quint8 kNotifyLineState = 6;
constexpr quint8 kNotifyModemState = 7;
constexpr quint8 kFlowControlSuspend = 8;
constexpr quint8 kFlowControlResume = 9;

constexpr quint8 kControlNoFlowControl = 1;
constexpr quint8 kControlRtsOn = 11;
constexpr quint8 kControlRtsOff = 12;
constexpr quint8 kPurgeReceiveBuffer = 1;

QByteArray bytesOf(std::initializer_list<quint8> bytes)
{
    QByteArray out;
    for (const quint8 b : bytes)
        out.append(char(b));
    return out;
}

QByteArray verb(quint8 v, quint8 option)
{
    return bytesOf({ kIac, v, option });
}

quint8 parityCode(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::NoParity:
        return 1;
    case QSerialPort::OddParity:
        return 2;
    case QSerialPort::EvenParity:
        return 3;
    case QSerialPort::MarkParity:
        return 4;
    case QSerialPort::SpaceParity:
        return 5;
    }
    return 1;
}

quint8 stopCode(QSerialPort::StopBits stop)
{
    switch (stop) {
    case QSerialPort::OneStop:
        return 1;
    case QSerialPort::TwoStop:
        return 2;
    case QSerialPort::OneAndHalfStop:
        return 3;
    }
    return 1;
}

} // namespace

bool ComPortSession::weOffer(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool ComPortSession::weAccept(quint8 option)
{
    // Not ECHO: a server that echoed our bytes would put them in front of every answer.
    return option == kBinary || option == kSuppressGoAhead;
}

QByteArray ComPortSession::start(const SerialSettings& settings)
{
    QByteArray out;
    for (const quint8 option : { kBinary, kSuppressGoAhead, kComPort }) {
        if (m_us[option] == Q::No) {
            m_us[option] = Q::WantYes;
            out += verb(kWill, option);
        }
    }
    for (const quint8 option : { kBinary, kSuppressGoAhead }) {
        if (m_him[option] == Q::No) {
            m_him[option] = Q::WantYes;
            out += verb(kDo, option);
        }
    }
    out += setSettings(settings);
    return out;
}

ComPortSession::Received ComPortSession::receive(QByteArrayView bytes)
{
    TelnetDecoder::Output decoded = m_decoder.feed(bytes);
    Received out;
    out.data = std::move(decoded.data);
    for (const TelnetCommand& command : decoded.commands)
        onCommand(command, out.reply);
    return out;
}

void ComPortSession::onCommand(const TelnetCommand& command, QByteArray& reply)
{
    const quint8 option = command.option;
    const bool wasAgreed = comPortAgreed();
    switch (command.verb) {
    case kWill:
        if (m_him[option] == Q::No) {
            m_him[option] = weAccept(option) ? Q::Yes : Q::No;
            reply += verb(weAccept(option) ? kDo : kDont, option);
        } else if (m_him[option] == Q::WantYes) {
            m_him[option] = Q::Yes;
        } else if (m_him[option] == Q::WantNo) {
            m_him[option] = Q::No; // an answer against our DONT; it knows our mind
        }
        break;
    case kWont:
        if (m_him[option] == Q::Yes)
            reply += verb(kDont, option);
        m_him[option] = Q::No;
        break;
    case kDo:
        if (m_us[option] == Q::No) {
            m_us[option] = weOffer(option) ? Q::Yes : Q::No;
            reply += verb(weOffer(option) ? kWill : kWont, option);
        } else if (m_us[option] == Q::WantYes) {
            m_us[option] = Q::Yes;
        } else if (m_us[option] == Q::WantNo) {
            m_us[option] = Q::No;
        }
        break;
    case kDont:
        if (m_us[option] == Q::Yes)
            reply += verb(kWont, option);
        if (option == kComPort && m_us[option] != Q::No)
            m_comPortRefused = true;
        m_us[option] = Q::No;
        break;
    case kSb:
        if (option == kComPort && !command.payload.isEmpty())
            onComPort(command.payload);
        break;
    default:
        break;
    }
    if (option == kComPort && comPortAgreed() && !wasAgreed) {
        m_comPortRefused = false;
        reply += std::exchange(m_held, {});
    }
    if (option == kComPort && m_comPortRefused)
        m_held.clear();
}

void ComPortSession::onComPort(QByteArrayView payload)
{
    const quint8 code = quint8(payload[0]);
    const QByteArrayView value = payload.sliced(1);
    if (code == kServerOffset + kSetBaudRate && value.size() == 4) {
        m_confirmedBaud = (quint32(quint8(value[0])) << 24) | (quint32(quint8(value[1])) << 16)
            | (quint32(quint8(value[2])) << 8) | quint32(quint8(value[3]));
    } else if (code == kServerOffset + kNotifyLineState && value.size() == 1) {
        m_lineState = quint8(value[0]);
    } else if (code == kServerOffset + kNotifyModemState && value.size() == 1) {
        m_modemState = quint8(value[0]);
    } else if (code == kServerOffset + kFlowControlSuspend) {
        m_suspended = true;
    } else if (code == kServerOffset + kFlowControlResume) {
        m_suspended = false;
    }
}

QByteArray ComPortSession::control(quint8 code, QByteArrayView value)
{
    QByteArray command = bytesOf({ kIac, kSb, kComPort });
    QByteArray body(1, char(code));
    body += value;
    command += escapeIac(body);
    command += bytesOf({ kIac, kSe });
    if (m_comPortRefused)
        return {};
    if (!comPortAgreed()) {
        m_held += command;
        return {};
    }
    return command;
}

QByteArray ComPortSession::setSettings(const SerialSettings& settings)
{
    const quint32 baud = quint32(settings.baudRate);
    const char baudBytes[] = { char(baud >> 24), char(baud >> 16), char(baud >> 8), char(baud) };
    QByteArray out = control(kSetBaudRate, QByteArrayView(baudBytes, 4));
    out += control(kSetDataSize, QByteArray(1, char(quint8(settings.dataBits))));
    out += control(kSetParity, QByteArray(1, char(parityCode(settings.parity))));
    out += control(kSetStopSize, QByteArray(1, char(stopCode(settings.stopBits))));
    out += control(kSetControl, QByteArray(1, char(kControlNoFlowControl)));
    return out;
}

QByteArray ComPortSession::setRts(bool on)
{
    return control(kSetControl, QByteArray(1, char(on ? kControlRtsOn : kControlRtsOff)));
}

QByteArray ComPortSession::purgeInput()
{
    return control(kPurgeData, QByteArray(1, char(kPurgeReceiveBuffer)));
}

} // namespace velto::serial
