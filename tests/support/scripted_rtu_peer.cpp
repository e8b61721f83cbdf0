#include "support/scripted_rtu_peer.h"

#include "modbus/modbus_crc.h"

#include <QTimer>

namespace velto::test {

namespace {

constexpr quint8 kReadHolding = 0x03;
constexpr quint8 kWriteSingle = 0x06;
constexpr quint8 kWriteMultiple = 0x10;
constexpr qsizetype kFixedFrame = 8; // slave, function, two words, CRC
constexpr qsizetype kMultipleHeader = 7; // slave, function, start, count, byte count
constexpr qsizetype kCrcBytes = 2;

quint16 wordAt(QByteArrayView bytes, qsizetype at)
{
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}

void appendWord(QByteArray& out, int word)
{
    out.append(char(quint16(word) >> 8));
    out.append(char(quint16(word) & 0xFF));
}

// The length of the request at the front of the buffer; 0 while it is incomplete, -1 when the bytes
// start no request this peer knows.
qsizetype frameLength(QByteArrayView bytes)
{
    if (bytes.size() < 2)
        return 0;
    switch (quint8(bytes[1])) {
    case kReadHolding:
    case kWriteSingle:
        return bytes.size() >= kFixedFrame ? kFixedFrame : 0;
    case kWriteMultiple:
        if (bytes.size() < kMultipleHeader)
            return 0;
        return kMultipleHeader + quint8(bytes[kMultipleHeader - 1]) + kCrcBytes;
    default:
        return -1;
    }
}

} // namespace

ScriptedRtuPeer::ScriptedRtuPeer(int address, QObject* parent)
    : ScriptedPeer(parent)
    , address(address)
{
}

ScriptedRtuPeer::~ScriptedRtuPeer() = default;

void ScriptedRtuPeer::onReadable()
{
    const QByteArray heard = m_line.readMasterNow();
    if (echo && lineOpen())
        m_line.writeMaster(heard);
    m_buffer += heard;
    for (;;) {
        const qsizetype length = frameLength(m_buffer);
        if (length < 0) {
            m_buffer.clear();
            return;
        }
        if (length == 0 || m_buffer.size() < length)
            return;
        const QByteArray frame = m_buffer.first(length);
        m_buffer.remove(0, length);
        if (modbus::hasValidModbusCrc(frame))
            handle(frame);
    }
}

void ScriptedRtuPeer::handle(const QByteArray& frame)
{
    Request r { quint8(frame[0]), quint8(frame[1]), wordAt(frame, 2), 1, {} };
    if (r.function == kReadHolding) {
        r.count = wordAt(frame, 4);
    } else if (r.function == kWriteSingle) {
        r.values << wordAt(frame, 4);
    } else {
        r.count = wordAt(frame, 4);
        for (int i = 0; i < r.count && kMultipleHeader + 2 * i + 1 < frame.size() - kCrcBytes; ++i)
            r.values << wordAt(frame, kMultipleHeader + 2 * i);
    }
    requests << r;
    emit requestReceived(int(requests.size() - 1));
    if (r.slave != address)
        return;

    const Answer how = script.isEmpty() ? otherwise : script.dequeue();
    if (r.function != kReadHolding) {
        for (int i = 0; i < r.values.size(); ++i) {
            const int reg = r.start + i;
            if (registers.size() <= reg)
                registers.resize(reg + 1);
            registers[reg] = r.values[i];
        }
    }
    if (how.silent)
        return;
    const QByteArray answer = how.before + answerFor(r, how);
    if (how.holdBack) {
        m_held = answer;
        return;
    }
    QByteArray bytes = std::exchange(m_held, {}) + answer;
    if (how.againAfterMs == 0)
        bytes += answer;
    else if (how.againAfterMs > 0)
        send(answer, how.delayMs + how.againAfterMs);
    if (how.pieceBytes <= 0) {
        send(bytes, how.delayMs);
        return;
    }
    for (qsizetype at = 0, piece = 0; at < bytes.size(); at += how.pieceBytes, ++piece)
        send(bytes.mid(at, how.pieceBytes), how.delayMs + int(piece) * how.pieceGapMs);
}

QByteArray ScriptedRtuPeer::answerFor(const Request& r, const Answer& how)
{
    QByteArray out;
    out.append(char(r.slave + how.slaveShift));
    out.append(char(r.function));
    if (r.function == kReadHolding) {
        const int count = std::max(0, r.count + how.countShift);
        out.append(char(2 * count));
        for (int i = 0; i < count; ++i)
            appendWord(out, registers.value(r.start + i, 0));
    } else {
        appendWord(out, r.start + how.registerShift);
        appendWord(out, r.function == kWriteSingle ? r.values.value(0) : r.count + how.echoCountShift);
    }
    return modbus::withModbusCrc(out);
}

void ScriptedRtuPeer::send(QByteArray bytes, int delayMs)
{
    auto write = [this, bytes] {
        if (lineOpen() && m_line.writeMaster(bytes))
            emit answered(bytes);
    };
    if (delayMs <= 0)
        write();
    else
        QTimer::singleShot(delayMs, this, write);
}

} // namespace velto::test
