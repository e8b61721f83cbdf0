#pragma once

#include "common/box_update.h"
#include "logging/log_format.h"

#include <QHash>
#include <QList>
#include <QString>

namespace velto::cli {

// What the window's boxes would hold: the latest text and visibility each update gave a box. The
// log reads its values from here, as the window's log reads its boxes.
class PanelTexts {
public:
    void apply(const QList<BoxUpdate>& updates);

    QString text(const QString& objectName) const { return m_texts.value(objectName); }
    // False until an update showed the box.
    bool visible(const QString& objectName) const { return m_visible.value(objectName, false); }

    logging::LogReadings modbusReadings() const;
    logging::LogLayout modbusLayout() const;
    logging::LogReadings veltoReadings() const;
    logging::LogLayout veltoLayout() const;

private:
    bool twoVeltoSensors() const;

    QHash<QString, QString> m_texts;
    QHash<QString, bool> m_visible;
};

} // namespace velto::cli
