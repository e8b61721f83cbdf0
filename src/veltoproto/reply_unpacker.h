#pragma once

#include "veltoproto/request_frame.h"
#include "veltoproto/velto_state.h"

#include <QByteArrayView>
#include <optional>

namespace velto::veltoproto {

inline constexpr qsizetype kSingleShortLength = 16;
inline constexpr qsizetype kSingleLongLength = 19;
inline constexpr qsizetype kMultiShortLength = 17;
inline constexpr qsizetype kMultiLongLength = 20;

// The fields of one well-formed reply.
struct VeltoReplyFields {
    quint8 sensorIndex = 0;
    quint8 dataLength = 0;
    qint32 commandCode = 0;
    qint32 value = 0;
    quint8 status = 0;
    quint8 unitType = kUnitTypeSingle;
};

// A reply's checksum: the two digits before its carriage return, and the sum of the digit values
// between its "!" and them. onLine is empty where those are no two digits.
struct ReplyChecksum {
    std::optional<int> onLine;
    int computed = 0;
};
ReplyChecksum replyChecksum(QByteArrayView reply);

// Checks one reply (start, end, accepted length, digit-sum checksum, protocol digit, field syntax)
// and returns its fields; empty on any rejection. A temperature outside 0..255 cannot be stored and
// rejects the reply.
std::optional<VeltoReplyFields> parseVeltoReply(QByteArrayView reply);

// Whether a read may be the answer to the request that asked `command` of `address`. A well-formed
// reply that names another quantity, or another address where its two digits can hold the one asked
// (0..99), answers some other request: a late reply, or a unit speaking in another's name. Anything
// that is not a well-formed reply is left to UnpackRecData, which rejects or re-applies it.
bool fitsRequest(QByteArrayView reply, int address, VeltoCommand command);

enum class StatusTarget { None, Sensor1, Sensor2 };

inline constexpr int kTankLeftSingle = 560;
inline constexpr int kTankLeftTwoSensors = 710;

// What one unpacked reply asks of the display.
struct UnpackResult {
    // The layout and status steps ran (an accepted reply, or an odd-length frame re-applying the
    // kept fields). False: nothing changed.
    bool applied = false;
    bool accepted = false;
    bool stored = false;
    int tankLeft = kTankLeftSingle;
    std::optional<Layout> layout;
    StatusTarget statusTarget = StatusTarget::None;
};

// Unpacks one read into the state. A rejected reply leaves the state untouched.
UnpackResult UnpackRecData(QByteArrayView reply, VeltoState& state);

} // namespace velto::veltoproto
