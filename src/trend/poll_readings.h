#pragma once

#include "trend/trend_store.h"
#include "veltoproto/request_frame.h"
#include "veltoproto/velto_display.h"

#include <QList>
#include <optional>

namespace velto::trend {

// One series a poll feeds, with the value it brought; no value for a failed poll.
struct Reading {
    SeriesInfo series;
    std::optional<double> value;

    bool operator==(const Reading&) const = default;
};

inline const QString kTemperatureUnit = QStringLiteral("°C");
inline const QString kRegisterUnit = QStringLiteral("raw");

// The single-sensor cycle's dynamic group of the sensor at `slave`: distance and level in the unit
// the static group set (none while it is unknown), the temperature, and the flow, totalization or
// volume where the panel shows it. Without words (a failed read) the same series, without values.
QList<Reading> sensorReadings(
    int slave, const QList<quint16>& words, const QString& unitText, const QString& modeText);

// The multiple-devices mode: R0..R7 of device 1..5 as signed numbers, one group per register.
QList<Reading> deviceReadings(int device, int slave, const QList<quint16>& words);

// A Velto reading of one sensor (0 or 1) at `address`, in the unit its selector shows; lengths come
// in millimetres, the temperature in degrees Celsius.
Reading veltoReading(int address, int sensor, veltoproto::VeltoCommand command, std::optional<qint32> stored,
    std::optional<veltoproto::LengthUnit> unit);

} // namespace velto::trend
