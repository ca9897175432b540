#include "layout/scrolling.h"

#include "layout/form_layout.h"
#include "layout/twips.h"

#include <QEvent>
#include <QLineEdit>

#include <algorithm>
#include <cmath>

namespace layout {
namespace {

constexpr int kWheelSmallSteps = 20;
constexpr int kFocusStep = 100;

// The content's offset for a bar value: the value as a share of the scroll range.
double offsetFor(int value, int maximum, const double viewport, const double content) {
    if (maximum == 0)
        return 0;
    return (viewport - content) * value / maximum;
}

} // namespace

Scrolling::Scrolling(const FormControls& c, QObject* parent) : QObject(parent), c_(c) {
    for (QScrollBar* bar : {c_.VScroll, c_.HScroll}) {
        if (!bar)
            continue;
        bar->setMinimum(0);
        bar->setSingleStep(15);
        bar->installEventFilter(this);
    }
    if (c_.VScroll) {
        connect(c_.VScroll, &QScrollBar::valueChanged, this, &Scrolling::VScroll_Change);
        connect(c_.VScroll, &QScrollBar::sliderMoved, this, &Scrolling::VScroll_Scroll);
    }
    if (c_.HScroll) {
        connect(c_.HScroll, &QScrollBar::valueChanged, this, &Scrolling::HScroll_Change);
        connect(c_.HScroll, &QScrollBar::sliderMoved, this, &Scrolling::HScroll_Scroll);
    }
}

bool Scrolling::eventFilter(QObject* watched, QEvent* event) {
    // Left to itself a bar under the cursor would scroll a second time, or sideways.
    if (event->type() == QEvent::Wheel && (watched == c_.VScroll || watched == c_.HScroll)) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

Scrolling::Extent Scrolling::verticalExtent() const {
    if (const auto r = lastLayout(c_))
        return {double(r->zoneP1Height), double(r->zoneP2Height)};
    return {double(toTwips(c_.ZoneP1->height())), double(toTwips(c_.ZoneP2->height()))};
}

Scrolling::Extent Scrolling::horizontalExtent() const {
    if (const auto r = lastLayout(c_))
        return {double(r->zoneP1Width), double(r->zoneP2Width)};
    return {double(toTwips(c_.ZoneP1->width())), double(toTwips(c_.ZoneP2->width()))};
}

void Scrolling::placeVertically(int value) {
    const Extent e = verticalExtent();
    p2Top_ = offsetFor(value, c_.VScroll->maximum(), e.viewport, e.content);
    c_.ZoneP2->move(c_.ZoneP2->x(), toPixels(p2Top_));
}

void Scrolling::placeHorizontally(int value) {
    const Extent e = horizontalExtent();
    p2Left_ = offsetFor(value, c_.HScroll->maximum(), e.viewport, e.content);
    c_.ZoneP2->move(toPixels(p2Left_), c_.ZoneP2->y());
}

void Scrolling::VScroll_Change() {
    placeVertically(c_.VScroll->value());
}
void Scrolling::HScroll_Change() {
    placeHorizontally(c_.HScroll->value());
}

// sliderMoved comes before the value follows the thumb (and without it when tracking is
// off): the thumb's own position is the live one.
void Scrolling::VScroll_Scroll() {
    placeVertically(c_.VScroll->sliderPosition());
}
void Scrolling::HScroll_Scroll() {
    placeHorizontally(c_.HScroll->sliderPosition());
}

void Scrolling::Wheel_WheelRotate(int& Delta, int& /*Shift*/, int& /*x*/, int& /*y*/) {
    QScrollBar* bar = c_.VScroll;
    const long long step = static_cast<long long>(kWheelSmallSteps) * bar->singleStep();
    long long v = bar->value() + (Delta < 0 ? step : -step);
    if (v < bar->minimum())
        v = bar->minimum();
    if (v > bar->maximum())
        v = bar->maximum();
    bar->setValue(static_cast<int>(v));
}

void Scrolling::stepTo(QScrollBar* bar, int value) {
    bar->setValue(value);
    c_.form->repaint();
}

// Each loop also stops when a step no longer moves the bar (bars not laid out yet),
// rather than spinning for ever.
void Scrolling::bringIntoView(QScrollBar* bar, double start, long long end) {
    while (bar->value() > start) {
        const int before = bar->value();
        stepTo(bar, std::max(before - kFocusStep, 0));
        if (bar->value() == before)
            break;
    }
    while (static_cast<long long>(bar->value()) + bar->pageStep() < end) {
        const int before = bar->value();
        stepTo(bar, std::min(before + kFocusStep, bar->maximum()));
        if (bar->value() == before)
            break;
    }
}

void Scrolling::Txt_GotFocus(int index) {
    if (index < 1 || index > kQuestions || !c_.Shape[index])
        return;
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    if (const auto r = lastLayout(c_)) {
        const PanelGeometry& p = r->panel[index];
        left = p.left, top = p.top, width = p.width, height = p.height;
    } else {
        const QRect g = c_.Shape[index]->geometry();
        left = toTwips(g.x()), top = toTwips(g.y());
        width = toTwips(g.width()), height = toTwips(g.height());
    }
    const long long bottom = std::llround(top + height);
    const long long right = std::llround(left + width);

    // Vertically first, then horizontally: each bar back to the panel's start, then on
    // until its end is in view.
    bringIntoView(c_.VScroll, top, bottom);
    bringIntoView(c_.HScroll, left, right);

    if (auto* box = qobject_cast<QLineEdit*>(c_.Txt[index]))
        box->setSelection(0, static_cast<int>(box->text().size()));
}

} // namespace layout
