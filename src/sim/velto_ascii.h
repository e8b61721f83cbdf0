#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace velto::sim {

// The sensor side of the Velto ASCII protocol: requests in, replies out. Pure functions.

namespace velto_cmd {
constexpr int kDistance = 1;
constexpr int kTemperature = 4;
constexpr int kTankHeight = 6;
constexpr int kLevel = 9;
} // namespace velto_cmd

constexpr char kVeltoStart = '!';
constexpr char kVeltoEnd = '\r';
constexpr int kVeltoProtocolDigit = 2;
constexpr int kVeltoRequestDataLength = 2;
constexpr int kVeltoTwoSensorUnitType = 8;
constexpr int kVeltoMaxAddress = 255;
// Shortest and longest request: two- or three-digit address and checksum.
constexpr qsizetype kVeltoRequestMinSize = 14;
constexpr qsizetype kVeltoRequestMaxSize = 16;

struct VeltoRequest {
    int address = 0;
    int sensorDigit = 0;
    int command = 0;
    int data = 0;
};

struct VeltoReply {
    int address = 0;
    int sensorIndex = 0; // 0 = first sensor, 1 = second
    int command = 0;
    qint32 value = 0; // millimetres, or whole degrees Celsius for the temperature
    int status = 0; // 0, 1, 2, 4, 8
    bool twoSensorUnit = false;
};

// The request a master sends, with its checksum (the address adds as one number).
QByteArray buildVeltoRequest(const VeltoRequest& request);
// nullopt for anything that is not a well-formed request with a matching checksum.
std::optional<VeltoRequest> parseVeltoRequest(QByteArrayView frame);

bool isKnownVeltoCommand(int command);
// Characters of the value field for a command.
int veltoValueWidth(int command);
// Sum of the digit values; anything not a digit adds nothing.
int veltoDigitSum(QByteArrayView text);
// The reply frame: fixed-width fields, a unit-type digit only for the two-sensor unit, and the digit
// sum of everything between start and checksum.
QByteArray buildVeltoReply(const VeltoReply& reply);

} // namespace velto::sim
