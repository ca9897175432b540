// The yardstick: a Qt Widgets program that only shows an empty maximised window.
#include "quit_after_paint.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    new bench::QuitAfterFirstPaint(&window);
    window.showMaximized();
    return app.exec();
}
