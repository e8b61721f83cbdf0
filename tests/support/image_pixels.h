#pragma once

#include <QImage>

namespace velto::test {

// How many pixels of a picture are painted, i.e. not white.
inline int notWhite(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) != qRgb(255, 255, 255);
    return n;
}

} // namespace velto::test
