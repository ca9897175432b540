// dorlo-icon <size> <output.png>
// Writes the window icon at size x size pixels for the desktop's icon theme. The icon is
// drawn by code at 32 x 32 device-independent pixels; a screen scale of size/32 makes it
// draw at the wanted pixel size instead of being stretched from 32 pixels. The toolkit
// keeps scales of at least 1, so the smaller sizes are drawn large and averaged down.
#include "window/pictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kDrawnSize = 32;
}

int main(int argc, char** argv) {
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 8 || size > 1024) {
        std::fprintf(stderr, "usage: dorlo-icon <size 8..1024> <output.png>\n");
        return 2;
    }
    constexpr int kSupersampled = 256;
    const qreal ratio = qreal(std::max(size, kSupersampled * int(size < kDrawnSize))) / kDrawnSize;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", QByteArray::number(ratio, 'g', 10));
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
    QGuiApplication app(argc, argv);

    QImage image = window::pictures::windowIcon()
                       .pixmap(QSize(kDrawnSize, kDrawnSize), ratio)
                       .toImage()
                       .convertToFormat(QImage::Format_ARGB32);
    if (size < kDrawnSize && image.size() == QSize(kSupersampled, kSupersampled))
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.size() != QSize(size, size)) {
        std::fprintf(stderr, "dorlo-icon: drawn at %dx%d, not %dx%d\n", image.width(),
                     image.height(), size, size);
        return 1;
    }
    image.setDevicePixelRatio(1);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "dorlo-icon: %s: %s\n", qPrintable(output),
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
