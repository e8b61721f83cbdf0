#include "traffic/frame_labels.h"

#include "calibration/calibration_message.h"

namespace velto::traffic {

FrameLabel labelCalibrationMessage(QByteArrayView frame)
{
    const std::optional<calibration::MessageFields> message = calibration::readMessage(frame);
    if (!message)
        return { Protocol::Calibration,
            QStringLiteral("not a calibration message (%1 bytes, not %2)")
                .arg(frame.size())
                .arg(calibration::kMessageSize),
            {} };
    const QString data = calibration::isRelayLetter(message->letter)
        ? (message->data.low ? QStringLiteral("on") : QStringLiteral("off"))
        : QStringLiteral("code bytes %1").arg(calibration::hexBytes(frame.sliced(2, 2)));
    return { Protocol::Calibration,
        QStringLiteral("'%1' %2: %3, XOR %4%5")
            .arg(QLatin1Char(message->letter))
            .arg(calibration::messageName(message->letter).value_or(QStringLiteral("unknown command")), data,
                message->xorOk ? QStringLiteral("ok") : QStringLiteral("bad"))
            .arg(message->endOk ? QString() : QStringLiteral(", no end byte")),
        {} };
}

} // namespace velto::traffic
