#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <utility>

namespace velto::sim {

// Cuts the byte stream of a shared line into Modbus RTU, Velto ASCII and radar requests, calibration
// messages and bootloader requests without looking at timing: an RTU frame ends where its function
// code says (or, for functions we do not know, where a CRC matches); an ASCII frame is "!" and digits
// up to a carriage return; a calibration message is "!", a letter and four more bytes ending in "@";
// a radar frame is 55 AA and a command code, its length fixed by the code; a bootloader frame is ">B"
// and a digit, or a HEX record as long as its byte count says. Bytes that start
// no frame are dropped one by one; an incomplete frame waits for more bytes unless a complete
// frame already follows it.
class FrameSplitter {
public:
    enum class Kind { Rtu, Ascii, Calibration, Radar, Bootloader };
    struct Frame {
        Kind kind;
        QByteArray bytes;
    };

    // Longest RTU request we wait for; a longer unknown run is not a frame.
    static constexpr qsizetype kMaxRtuFrame = 256;

    QList<Frame> feed(QByteArrayView bytes);
    qsizetype pending() const { return m_buffer.size(); }
    void clear() { m_buffer.clear(); }
    // Hands over the bytes not yet framed, e.g. to a device that has taken the line.
    QByteArray takePending() { return std::exchange(m_buffer, {}); }

    enum class Status { Complete, Invalid, NeedMore };
    struct Scan {
        Status status = Status::NeedMore;
        Kind kind = Kind::Rtu;
        qsizetype length = 0;
    };
    // What the bytes at the start of the view are.
    static Scan scan(QByteArrayView bytes);

private:
    static bool isCompleteAt(QByteArrayView bytes);

    QByteArray m_buffer;
};

} // namespace velto::sim
