// The traffic monitor's decoders on whatever a line carries: the byte-line framer in writes and
// reads of any size with quiet spells, skipped echoes and ended Modbus exchanges between them, and
// the Modbus frame decoder on every write and read as a request and as an answer. Every byte
// received comes out in exactly one row, in order; no row is longer than its bound.
//
// Input: a mode byte (which protocol a line carries only, if any), then records of an operation
// byte (0 write, 1 read, 2 quiet, 3 an echo skipped, 4 a Modbus exchange ended), a length byte and
// that many bytes.
#include "fuzz_input.h"
#include "traffic/line_framer.h"
#include "traffic/modbus_frame_decoder.h"

#include <cstdlib>

using namespace velto::traffic;

namespace {

enum Operation : quint8 { Write, Read, Quiet, Echoed, ExchangeEnded, OperationCount };

void checkRows(const QList<TrafficRow>& rows, QByteArray& receivedOut)
{
    for (const TrafficRow& row : rows) {
        if (row.bytes.size() > LineFramer::kMaxRowBytes)
            std::abort();
        if (row.direction == Direction::Rx)
            receivedOut += row.bytes;
        if (row.direction == Direction::Event && !row.bytes.isEmpty())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const Protocol only = Protocol(input.takeByte() % kProtocolCount);
    LineFramer framer(only == Protocol::ModbusRtu ? Protocol::Unknown : only);
    std::optional<ModbusRequestInfo> lastRequest;
    QByteArray received;
    QByteArray rowsReceived;
    while (!input.atEnd()) {
        const quint8 operation = input.takeByte() % OperationCount;
        const quint8 length = input.takeByte();
        QByteArray bytes;
        for (int i = 0; i < length && !input.atEnd(); ++i)
            bytes.append(char(input.takeByte()));

        const ModbusFrameInfo asRequest = decodeModbusRtu(bytes, Direction::Tx);
        const ModbusFrameInfo asAnswer = decodeModbusRtu(bytes, Direction::Rx, lastRequest);
        if (asRequest.summary.isEmpty() || asAnswer.summary.isEmpty())
            std::abort();
        if (asRequest.request)
            lastRequest = asRequest.request;

        switch (operation) {
        case Write:
            checkRows(framer.sent(bytes), rowsReceived);
            break;
        case Read:
            received += bytes;
            checkRows(framer.received(bytes), rowsReceived);
            break;
        case Quiet:
            checkRows(framer.lineQuiet(), rowsReceived);
            break;
        case Echoed:
            received += bytes;
            checkRows(framer.echoed(bytes), rowsReceived);
            break;
        default:
            checkRows(framer.exchangeEnded(), rowsReceived);
            break;
        }
    }
    checkRows(framer.lineQuiet(), rowsReceived);
    if (framer.hasPending() || rowsReceived != received)
        std::abort();
    return 0;
}
