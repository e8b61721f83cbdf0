#include "modbus/rtu_master.h"

#include "modbus/answer_check.h"
#include "modbus/rtu_answer.h"
#include "serial/byte_link.h"
#include "serial/own_echo.h"
#include "serial/serial_settings.h"

#include <algorithm>
#include <chrono>

namespace velto::modbus {

namespace {

constexpr qint64 kUsPerMs = 1000;
constexpr qint64 kUsPerS = 1000000;
// Above this rate the gap between frames is fixed rather than 3.5 characters.
constexpr int kFixedGapAboveBaud = 19200;
constexpr qint64 kFixedGapUs = 1750;
constexpr int kGapCharactersTimesTwo = 7; // 3.5 characters
constexpr int kStartBits = 1;

int ceilMs(qint64 us)
{
    return int(std::max<qint64>(0, (us + kUsPerMs - 1) / kUsPerMs));
}

int stopBitsOf(QSerialPort::StopBits stop)
{
    // One and a half stop bits take the time of two, near enough for a gap.
    return stop == QSerialPort::OneStop ? 1 : 2;
}

} // namespace

RtuMaster::RtuMaster(serial::ByteLink& link, QObject* parent)
    : ModbusMaster(parent)
    , m_link(link)
{
    m_clock.start();
    m_characterUs = 10 * kUsPerS / 9600;
    m_lastErrorText = QStringLiteral("No error");
    for (QTimer* timer : { &m_quietTimer, &m_rxTimer }) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_quietTimer, &QTimer::timeout, this, &RtuMaster::onQuietTimer);
    connect(&m_rxTimer, &QTimer::timeout, this, &RtuMaster::onRxTimeout);
    connect(&m_link, &serial::ByteLink::readyRead, this, &RtuMaster::onReadyRead);
    connect(&m_link, &serial::ByteLink::lineLost, this, &RtuMaster::onLineLost);
    connect(&m_link, &serial::ByteLink::closed, this, &RtuMaster::onLinkClosed);
}

RtuMaster::~RtuMaster()
{
    // Nothing is called back once the master is gone.
    m_link.disconnect(this);
}

bool RtuMaster::openPort(const QString& portName, const QString& settings)
{
    closePort();
    const std::optional<serial::SerialSettings> parsed = serial::SerialSettings::parse(settings);
    if (!parsed) {
        m_lastErrorText
            = QStringLiteral("Invalid port settings \"%1\" (expected e.g. 9600,n,8,1)").arg(settings);
        return false;
    }
    const int bits = kStartBits + int(parsed->dataBits) + (parsed->parity == QSerialPort::NoParity ? 0 : 1)
        + stopBitsOf(parsed->stopBits);
    m_characterUs = std::max<qint64>(1, bits * kUsPerS / std::max(1, int(parsed->baudRate)));
    m_gapAboveFixedBaud = parsed->baudRate > kFixedGapAboveBaud;
    ++m_generation;
    if (!m_link.open(portName, settings)) {
        m_lastErrorText = m_link.errorText();
        return false;
    }
    // What the line was doing before is unknown: the first request waits for a quiet line too.
    m_lastByteUs = nowUs();
    m_lastAdu.clear();
    m_doubt = false;
    m_lineEchoes = false;
    m_lastErrorText = QStringLiteral("No error");
    return true;
}

void RtuMaster::closePort()
{
    ++m_generation;
    if (m_exchange)
        finish({ StatusAborted, {}, QStringLiteral("Request aborted: the port was closed") });
    if (m_link.isOpen())
        m_link.close();
}

bool RtuMaster::portOpen() const
{
    return m_link.isOpen();
}

void RtuMaster::setRxTimeout(int ms)
{
    m_rxTimeoutMs = std::clamp(ms, kMinTimeoutMs, kMaxTimeoutMs);
}

void RtuMaster::setTxTimeout(int ms)
{
    m_txTimeoutMs = std::clamp(ms, kMinTimeoutMs, kMaxTimeoutMs);
}

std::chrono::microseconds RtuMaster::frameGap() const
{
    if (m_gapAboveFixedBaud)
        return std::chrono::microseconds(kFixedGapUs);
    return std::chrono::microseconds(m_characterUs * kGapCharactersTimesTwo / 2);
}

namespace {

// Why a request may not go out: it names no single slave, or registers one request cannot carry.
std::optional<ModbusResult> refusal(int slave, int start, int count, int maxCount)
{
    if (std::optional<ModbusResult> refused = refuseSlave(slave))
        return refused;
    return refuseRegisters(start, count, maxCount);
}

} // namespace

void RtuMaster::readRegisters(int slave, int start, int count, QObject* context, Done done)
{
    send(RtuRequest::read(slave, start, count), refusal(slave, start, count, kMaxReadCount), context,
        std::move(done));
}

void RtuMaster::writeRegister(int slave, int reg, quint16 value, QObject* context, Done done)
{
    send(RtuRequest::writeOne(slave, reg, value), refusal(slave, reg, 1, 1), context, std::move(done));
}

void RtuMaster::writeRegisters(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    send(RtuRequest::writeMany(slave, start, values),
        refusal(slave, start, int(values.size()), kMaxWriteCount), context, std::move(done));
}

void RtuMaster::probeIllegalFunction(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    send(RtuRequest::probe(slave, start, values), refusal(slave, start, int(values.size()), kMaxWriteCount),
        context, std::move(done));
}

QString RtuMaster::aboutText() const
{
    return QStringLiteral("Modbus RTU master: the program's own, on its byte line (serial port, raw TCP or "
                          "RFC 2217): CRC-16, answers framed by their length, 3.5-character silence, "
                          "echo removal, stray bytes dropped\nQt runtime version %1")
        .arg(QString::fromLatin1(qVersion()));
}

void RtuMaster::send(RtuRequest request, std::optional<ModbusResult> refused, QObject* context, Done done)
{
    Caller caller { context, context != nullptr, std::move(done) };
    if (refused) {
        completeLater(std::move(caller), *refused);
        return;
    }
    if (m_exchange) {
        // Nothing was sent, so LastErrorText keeps describing the request in flight.
        completeLater(std::move(caller),
            { StatusBusy, {}, QStringLiteral("Busy: the previous Modbus request is still in progress") },
            false);
        return;
    }
    if (!portOpen()) {
        completeLater(std::move(caller), { StatusNotOpen, {}, QStringLiteral("Port not open") });
        return;
    }
    const QByteArray adu = request.adu();
    m_exchange = Exchange { std::move(request), adu, std::move(caller), {}, {}, {} };
    m_phase = Phase::Quieting;
    // Whatever waits answers nothing of ours; the line must be quiet before we talk.
    m_link.readAll();
    // The line may never be quiet (a babbling device): the request then goes unsent.
    m_rxTimer.start(m_rxTimeoutMs + (lateAnswerMayFit() ? m_rxTimeoutMs : 0));
    awaitQuiet();
}

bool RtuMaster::lateAnswerMayFit() const
{
    // The failed request's answer, coming late, would pass for this one's if it went out at once.
    return m_doubt && m_lastAdu.size() >= 2 && m_exchange && m_exchange->adu.first(2) == m_lastAdu.first(2);
}

void RtuMaster::awaitQuiet()
{
    qint64 quietUs = nowUs() - m_lastByteUs;
    qint64 gapUs = frameGap().count();
    if (lateAnswerMayFit()) {
        // A receive time-out of silence since the failure: a late answer lands here, as stray.
        quietUs = std::min(quietUs, nowUs() - m_failedUs);
        gapUs = std::max(gapUs, qint64(m_rxTimeoutMs) * kUsPerMs);
    }
    if (quietUs >= gapUs) {
        transmit();
        return;
    }
    m_quietTimer.start(ceilMs(gapUs - quietUs));
}

void RtuMaster::transmit()
{
    Exchange& x = *m_exchange;
    m_phase = Phase::Receiving;
    if (!m_link.write(x.adu)) {
        const QString why = m_link.errorText();
        finish({ StatusWriteFailed, {},
            QStringLiteral("Write failed: %1")
                .arg(why.isEmpty() ? QStringLiteral("the port refused the request") : why) });
        return;
    }
    m_lastAdu = x.adu;
    m_sentUs = nowUs();
    m_rxTimer.start(m_rxTimeoutMs + wireMs(x.adu.size()));
}

void RtuMaster::onReadyRead()
{
    const QByteArray bytes = m_link.readAll();
    if (bytes.isEmpty())
        return;
    m_lastByteUs = nowUs();
    switch (m_phase) {
    case Phase::Idle:
    case Phase::Discarding:
        // Stray: no answer is due, or the exchange has already seen that none will fit.
        return;
    case Phase::Quieting:
        m_quietTimer.start(ceilMs(frameGap().count()));
        return;
    case Phase::Settling:
        finish(outOfStep(m_exchange->received, bytes));
        return;
    case Phase::Receiving:
        m_exchange->received += bytes;
        examine();
        return;
    }
}

void RtuMaster::examine()
{
    Exchange& x = *m_exchange;
    const QByteArray& rx = x.received;
    const AnswerFrame frame = frameRtuAnswer(rx, x.request.function);
    QString notOurs;
    if (frame.state == AnswerFrame::State::Whole) {
        const QByteArrayView answer = QByteArrayView(rx).first(frame.length);
        // A Write Single Register answer is its request again; on a line that echoes, the first
        // copy is ours.
        const bool ownCopy = m_lineEchoes && answer == QByteArrayView(x.adu);
        const AnswerVerdict verdict = judgeRtuAnswer(answer, x.request);
        if (verdict.ours && !ownCopy) {
            if (verdict.result.status == StatusInvalidResponse) {
                finish(verdict.result);
                return;
            }
            if (rx.size() > frame.length) {
                finish(outOfStep(answer, QByteArrayView(rx).sliced(frame.length)));
                return;
            }
            x.answer = verdict.result;
            m_phase = Phase::Settling;
            qint64 waitUs = frameGap().count();
            if (m_doubt) {
                const qint64 rxEndUs = m_sentUs + (m_rxTimeoutMs + wireMs(x.adu.size())) * kUsPerMs;
                waitUs = std::max(waitUs, rxEndUs - nowUs());
            }
            m_quietTimer.start(ceilMs(waitUs));
            return;
        }
        notOurs = verdict.ours ? QStringLiteral("our own request") : verdict.notOursReason;
    }
    // Our own request coming back: wait until it is whole, or until it turns out to be something else.
    if (rx.size() < x.adu.size() && x.adu.startsWith(rx))
        return;
    if (serial::startsWithOwnFrame(rx, x.adu)) {
        m_lineEchoes = true;
        finish(invalidAnswer(serial::withEchoHint(QStringLiteral("our own request came back"))));
        return;
    }
    if (frame.state == AnswerFrame::State::Incomplete)
        return;
    x.discarded = !notOurs.isEmpty()
        ? notOurs
        : QStringLiteral("bytes that start no answer to function %1").arg(x.request.function);
    m_phase = Phase::Discarding;
}

ModbusResult RtuMaster::outOfStep(QByteArrayView answer, QByteArrayView more)
{
    // A Write Single Register answer is its request again: the first copy was our own.
    const QByteArrayView adu = m_exchange->adu;
    if (answer == adu && (adu.startsWith(more) || more.startsWith(adu))) {
        m_lineEchoes = true;
        return invalidAnswer(
            serial::withEchoHint(QStringLiteral("our own request came back before the answer")));
    }
    return invalidAnswer(QStringLiteral("%1 more bytes followed the answer at once: the line is out of step "
                                        "(a late answer, or two answers)")
                             .arg(more.size()));
}

void RtuMaster::onQuietTimer()
{
    if (m_phase == Phase::Quieting)
        awaitQuiet();
    else if (m_phase == Phase::Settling)
        finish(*m_exchange->answer, true);
}

void RtuMaster::onRxTimeout()
{
    if (!m_exchange)
        return;
    Exchange& x = *m_exchange;
    switch (m_phase) {
    case Phase::Idle:
        return;
    case Phase::Settling:
        finish(*x.answer, true);
        return;
    case Phase::Quieting:
        finish({ StatusTimeout, {},
            QStringLiteral("Time-out: the line to slave %1 was never quiet for %2 us within %3 ms, so the "
                           "request was not sent")
                .arg(x.request.slave)
                .arg(frameGap().count())
                .arg(m_rxTimeoutMs) });
        return;
    case Phase::Receiving:
    case Phase::Discarding: {
        QString text = timeoutText(x.request.slave);
        if (!x.discarded.isEmpty())
            text += QStringLiteral(" (an answer that did not fit was discarded: %1)").arg(x.discarded);
        else if (!x.received.isEmpty())
            text
                += QStringLiteral(" (an incomplete answer of %1 bytes was discarded)").arg(x.received.size());
        finish({ StatusTimeout, {}, text });
        return;
    }
    }
}

void RtuMaster::onLineLost(const QString& why)
{
    const QString text = QStringLiteral("Serial line lost: %1").arg(why);
    if (m_exchange)
        finish({ StatusLineLost, {}, text });
    m_lastErrorText = text;
    emit lineLost(text);
}

void RtuMaster::onLinkClosed()
{
    if (!m_exchange)
        return;
    // A lost line says so right after closing; anything else that closed the port aborts the request.
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_generation && m_exchange && !m_link.isOpen())
            finish({ StatusAborted, {}, QStringLiteral("Request aborted: the port was closed") });
    });
}

void RtuMaster::finish(ModbusResult result, bool answered)
{
    m_quietTimer.stop();
    m_rxTimer.stop();
    Caller caller = std::move(m_exchange->caller);
    m_exchange.reset();
    m_phase = Phase::Idle;
    m_doubt = !answered;
    m_failedUs = nowUs();
    completeLater(std::move(caller), std::move(result));
}

QString RtuMaster::timeoutText(int slave) const
{
    return QStringLiteral("Time-out: no response from slave %1 within %2 ms").arg(slave).arg(m_rxTimeoutMs);
}

int RtuMaster::wireMs(qsizetype bytes) const
{
    return ceilMs(bytes * m_characterUs);
}

void RtuMaster::complete(const Caller& caller, const ModbusResult& result, bool recordText)
{
    if (recordText)
        m_lastErrorText = result.errorText;
    // Runs on its own turn of the event loop (see completeLater), so the callback may delete us.
    const QPointer<RtuMaster> self(this);
    if (caller.done && (!caller.hasContext || caller.context))
        caller.done(result);
    if (self)
        emit requestFinished(result);
}

void RtuMaster::completeLater(Caller caller, const ModbusResult& result, bool recordText)
{
    QTimer::singleShot(0, this,
        [this, caller = std::move(caller), result, recordText] { complete(caller, result, recordText); });
}

} // namespace velto::modbus
