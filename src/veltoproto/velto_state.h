#pragma once

#include <QtGlobal>
#include <array>
#include <optional>

namespace velto::veltoproto {

// One sensor's stored readings; millimetres and degrees Celsius. Zero until a reply sets them.
struct SensorReadings {
    qint32 distance = 0;
    quint8 temperature = 0;
    qint32 tankHeight = 0;
    qint32 level = 0;

    bool operator==(const SensorReadings&) const = default;
};

enum class Layout { SingleSensor, TwoSensors };

inline constexpr int kSensorCount = 2;
inline constexpr quint8 kUnitTypeSingle = 0;
inline constexpr quint8 kUnitTypeTwoSensors = 8;

// Status digits with a text of their own: 0 O.K, 1 Full, 2 Empty, 4 Noise, 8 No Echo. Any other digit
// leaves the status box as it is.
constexpr bool isShownStatus(quint8 status)
{
    return status == 0 || status == 1 || status == 2 || status == 4 || status == 8;
}

// What the Velto mode remembers between replies.
struct VeltoState {
    std::array<SensorReadings, kSensorCount> sensors {};
    // Kept fields of the last accepted reply.
    quint8 replySensorIndex = 0;
    quint8 replyStatus = 0;
    quint8 replyUnitType = kUnitTypeSingle;
    // False until a reply has been accepted: the kept fields then hold no device's word yet.
    bool anyAccepted = false;
    // The layout last selected by a reply; empty until one selects it.
    std::optional<Layout> layout;
    // The status digit each sensor's status box shows; empty until one is shown.
    std::array<std::optional<quint8>, kSensorCount> shownStatus {};

    bool operator==(const VeltoState&) const = default;
};

} // namespace velto::veltoproto
