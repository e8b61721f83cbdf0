#include "ui/logo.h"

#include <QDir>

#include <cstdio>

// Renders the program's icon at every theme size into DIR/<n>x<n>/apps/NAME.png.
int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fputs("usage: velto-render-icons DIR NAME\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const int size : velto::ui::kIconSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(dir).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(folder, name);
        if (!QDir().mkpath(folder) || !velto::ui::veltoLogoImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "velto-render-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
