#pragma once

#include "radar/radar_command.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velto::radar {

constexpr qsizetype kStatusReplySize = 13;

// The answer to StandBy, Track, Send Status or Set Parameters, judged as the radar window judges it:
// enough bytes, the first header with the command's code, then the checksum. Only an accepted reply
// carries values.
struct StatusReply {
    enum class Outcome {
        NoResponse, // fewer than 13 bytes
        WrongHeader, // no 55 AA <code> anywhere
        Incomplete, // header found, but the buffer ends before the checksum byte
        WrongChecksum,
        AnsweredTwice, // a second whole reply to the command follows the first
        Accepted,
    };

    Outcome outcome = Outcome::NoResponse;
    qsizetype headerAt = -1;
    quint8 code = 0;
    qint32 rawDistance = 0; // Send Status: 0.1 mm
    int signalToNoise = 0; // Send Status: dB
    // What the log box shows: the failure text, or the reply's 13 bytes as a hex dump. Empty for
    // an incomplete reply, which the window passes over without a word.
    QString logText;

    bool accepted() const { return outcome == Outcome::Accepted; }
};

// One status reply as it stands, whatever command it answers.
struct StatusReplyFields {
    quint8 code = 0;
    qint32 rawDistance = 0; // 0.1 mm, carried by the answer to Send Status
    int signalToNoise = 0; // dB, likewise
    bool checksumOk = false;
};
// Nothing unless `frame` is 13 bytes starting with the frame start.
std::optional<StatusReplyFields> readStatusReply(QByteArrayView frame);

// "Incorrect Standby Header" and the like.
QString wrongHeaderText(RadarCommand command);

// Never reads outside `buffer`.
StatusReply judgeStatusReply(QByteArrayView buffer, RadarCommand command);

} // namespace velto::radar
