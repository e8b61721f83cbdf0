#include "cli/panel_texts.h"

namespace velto::cli {

void PanelTexts::apply(const QList<BoxUpdate>& updates)
{
    for (const BoxUpdate& update : updates) {
        if (update.text)
            m_texts.insert(update.objectName, *update.text);
        if (update.visible)
            m_visible.insert(update.objectName, *update.visible);
    }
}

logging::LogReadings PanelTexts::modbusReadings() const
{
    logging::LogReadings r;
    r.mode = logging::LogMode::Modbus;
    r.modbus = { text(QStringLiteral("ErrorStatusText")), text(QStringLiteral("IrDistance")),
        text(QStringLiteral("IrLevel")), text(QStringLiteral("IrTemperature")),
        text(QStringLiteral("Vol_Flow_Tot_Value_Text")), text(QStringLiteral("IrTankHeight")),
        text(QStringLiteral("IrMeasurementUnit")) };
    return r;
}

logging::LogLayout PanelTexts::modbusLayout() const
{
    return { logging::LogMode::Modbus, false, text(QStringLiteral("Vol_Flow_Tot_Ind_Label")) };
}

bool PanelTexts::twoVeltoSensors() const
{
    return visible(QStringLiteral("LabelMultiSensor"));
}

logging::LogReadings PanelTexts::veltoReadings() const
{
    logging::LogReadings r;
    r.mode = logging::LogMode::Velto;
    r.twoSensors = twoVeltoSensors();
    for (size_t sensor = 0; sensor < r.velto.size(); ++sensor) {
        const QString suffix = sensor == 0 ? QString() : QStringLiteral("2");
        r.velto[sensor] = { text(QStringLiteral("VeltoDevSta") + suffix),
            text(QStringLiteral("TxtVeltoDist") + suffix), text(QStringLiteral("TextVeltoLevel") + suffix),
            text(QStringLiteral("TextVeltoTemp") + suffix),
            text(QStringLiteral("IrVeltoTnakHeight") + suffix) };
    }
    return r;
}

logging::LogLayout PanelTexts::veltoLayout() const
{
    return { logging::LogMode::Velto, twoVeltoSensors(), {} };
}

} // namespace velto::cli
