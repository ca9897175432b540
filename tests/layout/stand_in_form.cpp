#include "stand_in_form.h"

#include "layout/twips.h"

#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

namespace layout::testing {
namespace {

template <class W> W* make(QWidget* parent, int left, int top, int width, int height) {
    auto* w = new W(parent);
    placeTwips(w, left, top, width, height);
    return w;
}

} // namespace

StandInForm::StandInForm() : form_(std::make_unique<QWidget>()) {
    QWidget* f = form_.get();
    f->resize(toPixels(13410), toPixels(10545));
    c_.form = f;

    c_.ZoneT0 = make<QWidget>(f, 120, 120, 13080, 1095);
    make<QWidget>(c_.ZoneT0, -15, -15, 2055, 1095); // ZoneT1, never moved
    c_.ZoneT2 = make<QWidget>(c_.ZoneT0, 2040, 0, 8985, 1095);
    c_.LblTitre = make<QLabel>(c_.ZoneT2, 1102, -90, 6765, 615);
    c_.LblIndics = make<QLabel>(c_.ZoneT2, 1897, 600, 5175, 495);
    c_.ZoneT3 = make<QWidget>(c_.ZoneT0, 11025, -15, 2055, 1095);

    c_.VScroll = make<QScrollBar>(f, 12945, 1290, 255, 8520);
    c_.VScroll->setOrientation(Qt::Vertical);
    c_.HScroll = make<QScrollBar>(f, 120, 9810, 12825, 255);
    c_.HScroll->setOrientation(Qt::Horizontal);
    for (QScrollBar* bar : {c_.VScroll, c_.HScroll}) {
        bar->setRange(0, 0);
        bar->setSingleStep(15);
    }
    c_.VScroll->setPageStep(8520);
    c_.HScroll->setPageStep(12825);

    c_.ZoneP1 = make<QWidget>(f, 120, 1290, 12825, 8520);
    c_.ZoneP2 = make<QWidget>(c_.ZoneP1, 0, 0, 12825, 8520);
    for (int n = 1; n <= 30; ++n) {
        const int col = (n - 1) % 3;
        const int row = (n - 1) / 3;
        QWidget* s = make<QWidget>(c_.ZoneP2, 120 + 4185 * col, 120 + 540 * row, 4200, 555);
        c_.Shape[n] = s;
        auto* no = make<QLabel>(s, 90, 165, 285, 255);
        no->setText(QString::number(n) + QLatin1Char('.'));
        c_.No[n] = no;
        c_.Cmd[n] = make<QToolButton>(s, 390, 135, 270, 270);
        c_.Cmd[n + 30] = make<QToolButton>(s, 675, 135, 270, 270);
        c_.Txt[n] = make<QLineEdit>(s, 960, 135, 2115, 285);
        c_.Retour[n] = make<QLabel>(s, 3090, 150, 975, 255);
    }
}

} // namespace layout::testing
