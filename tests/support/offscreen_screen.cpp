#include "support/offscreen_screen.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velto::test {

OffscreenScreen::OffscreenScreen(int width, int height)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform != "offscreen" || !m_dir.isValid())
        return;
    const QJsonObject screen { { "name", "Laptop" }, { "x", 0 }, { "y", 0 }, { "width", width },
        { "height", height }, { "logicalDpi", 96 }, { "logicalBaseDpi", 96 }, { "dpr", 1 } };
    const QString path = m_dir.filePath(QStringLiteral("screen.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QJsonDocument(QJsonObject { { "screens", QJsonArray { screen } } }).toJson());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
}

} // namespace velto::test
