#include "ui/logo.h"

#include <QPainter>
#include <QSvgRenderer>

namespace velto::ui {

QImage veltoLogoImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/velto/icon.svg"));
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

QPixmap veltoLogo(int size)
{
    return QPixmap::fromImage(veltoLogoImage(size));
}

QIcon veltoIcon()
{
    QIcon icon;
    for (const int size : kIconSizes)
        icon.addPixmap(veltoLogo(size));
    return icon;
}

} // namespace velto::ui
