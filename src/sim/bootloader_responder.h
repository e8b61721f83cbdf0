#pragma once

#include "sim/intel_hex.h"
#include "sim/scheduled_reply.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>

namespace velto::sim {

// The sensor's flash bootloader. Commands ">B0" (start burning), ">B1" (test and erase) and ">B4"
// (erase) are answered '<' and a code; each HEX record is checked and answered ':' and a code. From
// ">B0" to the end-of-file record it owns the line: it frames everything itself, and a line that
// does not start with ':' or ends short is judged once the line has been quiet. A burn given up
// half-way hands the line back when the port is opened anew or the line has been quiet for
// kBurnQuietLimitMs, as a real bootloader returns to its application.
class BootloaderResponder {
public:
    static constexpr char kCommandStart = '>';
    static constexpr char kCommandLetter = 'B';
    static constexpr qsizetype kCommandSize = 3;
    // Longer than any record: what has not become a frame by then is a bad line.
    static constexpr qsizetype kLongestLine = hexRecordSize(255);
    static constexpr quint8 kBadStartCode = 0xA0;
    static constexpr quint8 kBadLength = 0xA1;
    static constexpr quint8 kBadChecksum = 0xA2;
    static constexpr quint8 kRecordTaken = 0xA3;
    static constexpr quint8 kSlowWrite = 0xA4;
    static constexpr quint8 kEndOfFile = 0xA5;
    static constexpr quint8 kEndOfProgram = 0xA6;
    static constexpr quint8 kTestSucceeded = 0xB2;
    static constexpr quint8 kEraseSucceeded = 0xB5;
    static constexpr quint8 kStartBurn = 0xB7;
    // Longer than any pause of a burn that is still going on (an answer window and a retry's quiet).
    static constexpr int kBurnQuietLimitMs = 10000;

    // Fault knobs. The device still acts on a message whose answer it drops or delays.
    int dropAnswers = 0; // the next N answers are not sent
    int answerDelayMs = 0; // every answer goes out this late
    int splitGapMs = 0; // > 0: the second byte of an answer follows the first this much later
    QList<quint8> forcedLineCodes; // the next records are answered with these codes instead
    QList<quint8> forcedCommandCodes; // the next commands likewise
    // Per record, the extra delay of its answer each time it is heard (-1: that answer is lost);
    // heard more often than listed, it is answered at once.
    QMap<QByteArray, QList<int>> recordDelaysMs;
    QMap<QByteArray, quint8> recordCodes; // this record is answered with this code every time
    int answerCopies = 1; // every answer goes out this many times

    // The first byte of a frame that is the bootloader's, outside a burn.
    static bool isFrameStart(char c) { return c == kHexStartCode || c == kCommandStart; }
    // Length of the command or record at the start of bytes: > 0 complete, 0 more bytes needed,
    // -1 not a bootloader frame.
    static qsizetype frameLength(QByteArrayView bytes);

    // A whole frame routed to the device by the line.
    void respond(QByteArrayView frame);
    // Between ">B0" and the end-of-file record the line's bytes come here unsplit.
    bool ownsLine() const { return m_burning; }
    void feed(QByteArrayView bytes);
    // Bytes of an unfinished frame wait for the line to go quiet.
    bool hasPartialFrame() const { return !m_pending.isEmpty(); }
    void lineIdle();
    // Bytes were heard at nowMs; a burn quiet for longer than the limit before them is given up.
    void heardAt(qint64 nowMs);
    // The port was opened anew: a burn half-way is given up.
    void lineReopened();

    // Answers produced since the last call, in order.
    QList<ScheduledReply> takeAnswers();

    // Records accepted since the last ">B0", as received, and the flash they wrote.
    const QList<QByteArray>& records() const { return m_records; }
    const FlashImage& image() const { return m_image; }
    int commandsReceived() const { return m_commands; }
    int recordsReceived() const { return m_recordsReceived; }

private:
    void handleCommand(QByteArrayView frame);
    void handleRecord(QByteArrayView frame);
    void answer(char start, quint8 code, int extraDelayMs = 0);
    void leaveBurnMode();

    bool m_burning = false;
    qint64 m_lastHeardMs = -1;
    QByteArray m_pending;
    QList<ScheduledReply> m_answers;
    QList<QByteArray> m_records;
    FlashImage m_image;
    int m_commands = 0;
    int m_recordsReceived = 0;
};

} // namespace velto::sim
