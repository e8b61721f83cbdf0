#include "traffic/frame_labels.h"

namespace velto::traffic {

namespace {

constexpr qsizetype kMessageSize = 6;
constexpr quint8 kEndByte = 0x40;
constexpr char kFirstLetter = 'A';

// The calibration commands by letter, 'A' onwards.
constexpr const char* kCommands[] = { "Pulses", "Gain", "Threshold", "TBMin", "Power", "Power * 10",
    "I/O 1 4mA", "I/O 2 4mA", "I/O 3 4mA", "I/O 1 20mA", "I/O 2 20mA", "I/O 3 20mA",
    "follow-up after transceiver changes", "default transceiver parameters", "relay 1", "relay 2", "relay 3",
    "relay 4", "relay 5", "relay 6", "multi-sensor relay" };
constexpr int kCommandCount = int(std::size(kCommands));
constexpr int kFirstRelay = 'O' - kFirstLetter;

} // namespace

FrameLabel labelCalibrationMessage(QByteArrayView frame)
{
    if (frame.size() != kMessageSize)
        return { Protocol::Calibration,
            QStringLiteral("not a calibration message (%1 bytes, not %2)")
                .arg(frame.size())
                .arg(kMessageSize),
            {} };
    const int index = frame[1] - kFirstLetter;
    const QString command = index >= 0 && index < kCommandCount ? QString::fromLatin1(kCommands[index])
                                                                : QStringLiteral("unknown command");
    const quint8 expectedXor = quint8(frame[0]) ^ quint8(frame[1]) ^ quint8(frame[2]) ^ quint8(frame[3]);
    const bool xorOk = quint8(frame[4]) == expectedXor;
    const bool endOk = quint8(frame[5]) == kEndByte;
    const QString data = index >= kFirstRelay && index < kCommandCount
        ? (frame[3] ? QStringLiteral("on") : QStringLiteral("off"))
        : QStringLiteral("code bytes %1")
              .arg(QString::fromLatin1(frame.sliced(2, 2).toByteArray().toHex(' ').toUpper()));
    return { Protocol::Calibration,
        QStringLiteral("'%1' %2: %3, XOR %4%5")
            .arg(QLatin1Char(frame[1]))
            .arg(command, data, xorOk ? QStringLiteral("ok") : QStringLiteral("bad"))
            .arg(endOk ? QString() : QStringLiteral(", no end byte")),
        {} };
}

} // namespace velto::traffic
