// The fair yardstick: a plain Qt Widgets window holding the same kinds and number of
// controls as the game, written the ordinary way (installed families, style-drawn arrows,
// fixed places), shown maximised and closed after its first paint like the game.
#include "quit_after_paint.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QWidget>

namespace {

QLabel* label(QWidget* parent, const QString& text, const QRect& where) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(where);
    return l;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Plain window"));
    window.resize(894, 703);

    // Header: the title and six labels.
    auto* title = label(&window, QStringLiteral("DORLO ZIDODUDER 04"), QRect(210, 0, 451, 41));
    QFont titleFont(QStringLiteral("Lato Black"), 26);
    titleFont.setItalic(true);
    title->setFont(titleFont);
    label(&window, QStringLiteral("0"), QRect(20, 8, 41, 32));
    label(&window, QStringLiteral("/ 30"), QRect(70, 8, 57, 32));
    label(&window, QStringLiteral("Code :"), QRect(30, 58, 33, 13));
    label(&window, QStringLiteral("- - - - - -"), QRect(66, 58, 73, 13));
    label(&window, QStringLiteral("Retrouvez les titres des oeuvres comportant ces extraits"),
          QRect(270, 48, 345, 33));
    label(&window, QStringLiteral("example.org"), QRect(765, 54, 97, 25));

    // Panel area: a viewport, its content, and thirty rows of five controls.
    auto* viewport = new QWidget(&window);
    viewport->setGeometry(8, 86, 855, 568);
    auto* content = new QWidget(viewport);
    content->setGeometry(0, 0, 855, 568);
    for (int n = 1; n <= 30; ++n) {
        const int x = 8 + 279 * ((n - 1) % 3), y = 8 + 36 * ((n - 1) / 3);
        label(content, QString::number(n) + QLatin1Char('.'), QRect(x + 6, y + 11, 19, 17));
        for (int k = 0; k < 2; ++k) {
            auto* button = new QToolButton(content);
            button->setArrowType(k == 0 ? Qt::RightArrow : Qt::DownArrow);
            button->setGeometry(x + 26 + 19 * k, y + 9, 18, 18);
        }
        auto* edit = new QLineEdit(content);
        edit->setGeometry(x + 64, y + 9, 141, 19);
        auto* result = label(content, QStringLiteral("?"), QRect(x + 206, y + 10, 65, 17));
        QPalette red = result->palette();
        red.setColor(QPalette::Window, Qt::red);
        result->setPalette(red);
        result->setAutoFillBackground(true);
        result->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    auto* vertical = new QScrollBar(Qt::Vertical, &window);
    vertical->setGeometry(863, 86, 17, 568);
    auto* horizontal = new QScrollBar(Qt::Horizontal, &window);
    horizontal->setGeometry(8, 654, 855, 17);

    new bench::QuitAfterFirstPaint(&window);
    window.showMaximized();
    return app.exec();
}
