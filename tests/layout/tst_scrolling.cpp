// Moving the panel area: bars, wheel steps and the focus.
#include "fixtures/stand_in_form.h"
#include "layout/form_layout.h"
#include "layout/scrolling.h"

#include <QTest>

using namespace layout;

namespace {

// A shown window with its layout applied and the scrolling connected.
struct Fixture {
    explicit Fixture(QSize pixels) : scrolling(form.controls()) {
        form.window()->resize(pixels);
        Form_Resize(c());
        form.window()->show();
        if (!QTest::qWaitForWindowExposed(form.window()))
            qFatal("the window never showed");
    }
    const FormControls& c() const { return form.controls(); }
    testing::StandInForm form;
    Scrolling scrolling;
};

// Values a bar takes, in order, and how many repaints the window had before each.
struct Recorder : QObject {
    Recorder(QScrollBar* bar, QWidget* window) {
        window->installEventFilter(this);
        connect(bar, &QScrollBar::valueChanged, this, [this](int v) {
            values << v;
            paintsBefore << paints;
        });
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    QList<int> values;
    QList<int> paintsBefore;
    int paints = 0;
};

QList<int> steps(int from, int to, int by) {
    QList<int> out;
    for (int v = from; by > 0 ? v <= to : v >= to; v += by)
        out << v;
    return out;
}

} // namespace

class TestScrolling : public QObject {
    Q_OBJECT
private slots:
    void barValuePlacesTheContent();
    void thumbDragMovesTheContentLive();
    void wheelSteps_data();
    void wheelSteps();
    void wheelLeavesItsArgumentsAlone();
    void focusAboveScrollsUpInSteps();
    void focusBelowStopsWithThePanelInside();
    void focusLeftAndRight();
    void visiblePanelDoesNotMove();
    void focusWithBarsNotLaidOutEnds();
};

void TestScrolling::barValuePlacesTheContent() {
    Fixture f(QSize(300, 300)); // both bars have a range
    const FormControls& c = f.c();
    QVERIFY(c.HScroll->maximum() > 0);
    c.VScroll->setValue(1000);
    c.HScroll->setValue(455);
    QCOMPARE(f.scrolling.contentTop(), -1000.0);
    QCOMPARE(f.scrolling.contentLeft(), -455.0);
    QCOMPARE(c.ZoneP2->pos(), QPoint(-30, -67));

    // Nothing to scroll: the content sits at the origin whatever the value says.
    c.VScroll->setMaximum(0);
    QCOMPARE(f.scrolling.contentTop(), 0.0);
}

void TestScrolling::thumbDragMovesTheContentLive() {
    Fixture f(QSize(894, 300));
    QScrollBar* bar = f.c().VScroll;

    // A real drag of the thumb with the mouse.
    const QPoint thumb(bar->width() / 2, 20);
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(bar, thumb + QPoint(0, 40));
    QVERIFY(bar->isSliderDown());
    const double during = f.scrolling.contentTop();
    QVERIFY(during < 0);
    QCOMPARE(during, -double(bar->sliderPosition()));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb + QPoint(0, 40));

    // Without tracking the value waits for the release, the content does not.
    bar->setValue(0);
    bar->setTracking(false);
    bar->setSliderDown(true);
    bar->setSliderPosition(600);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(f.scrolling.contentTop(), -600.0);
    bar->setSliderDown(false);
    QCOMPARE(bar->value(), 600);
    QCOMPARE(f.scrolling.contentTop(), -600.0);
}

void TestScrolling::wheelSteps_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("one notch towards") << 0 << QList<int>{-120} << QList<int>{300};
    QTest::newRow("five notches towards")
        << 0 << QList<int>{-120, -120, -120, -120, -120} << QList<int>{300, 600, 900, 1000, 1000};
    QTest::newRow("away, clipped at 0") << 200 << QList<int>{120} << QList<int>{0};
    QTest::newRow("no turn counts as away") << 600 << QList<int>{0} << QList<int>{300};
    QTest::newRow("size of the turn ignored")
        << 0 << QList<int>{-1, -960, 2147483647} << QList<int>{300, 600, 300};
}

void TestScrolling::wheelSteps() {
    QFETCH(int, start);
    QFETCH(QList<int>, deltas);
    QFETCH(QList<int>, values);
    testing::StandInForm form;
    const FormControls& c = form.controls();
    Scrolling scrolling(c);
    c.VScroll->setMaximum(1000);
    c.VScroll->setValue(start);
    QList<int> seen;
    for (int delta : deltas) {
        int shift = 0, x = 0, y = 0;
        scrolling.Wheel_WheelRotate(delta, shift, x, y);
        seen << c.VScroll->value();
    }
    QCOMPARE(seen, values);
}

void TestScrolling::wheelLeavesItsArgumentsAlone() {
    Fixture f(QSize(894, 300));
    int delta = -120, shift = 4, x = 17, y = -3;
    f.scrolling.Wheel_WheelRotate(delta, shift, x, y);
    QCOMPARE(f.c().VScroll->value(), 300);
    QCOMPARE(f.scrolling.contentTop(), -300.0);
    QCOMPARE(delta, -120);
    QCOMPARE(shift, 4);
    QCOMPARE(x, 17);
    QCOMPARE(y, -3);
}

void TestScrolling::focusAboveScrollsUpInSteps() {
    Fixture f(QSize(894, 300));
    QScrollBar* bar = f.c().VScroll;
    bar->setValue(450);
    f.form.txt(1)->setText(QStringLiteral("la mer"));
    Recorder rec(bar, f.form.window());
    f.scrolling.Txt_GotFocus(1);
    QCOMPARE(rec.values, (QList<int>{350, 250, 150, 50}));
    // A repaint of the window after every step, before the next one.
    QCOMPARE(rec.paintsBefore, (QList<int>{0, 1, 2, 3}));
    QCOMPARE(rec.paints, 4);
    QCOMPARE(f.form.txt(1)->selectedText(), QStringLiteral("la mer"));
}

void TestScrolling::focusBelowStopsWithThePanelInside() {
    Fixture f(QSize(894, 300)); // viewport 2475 high, maximum 3180
    QScrollBar* bar = f.c().VScroll;
    f.form.txt(30)->setText(QStringLiteral("Bolero"));
    Recorder rec(bar, f.form.window());
    f.scrolling.Txt_GotFocus(30);
    // The bottom of panel 30 is at 5535: the first value v with v + 2475 >= 5535.
    QCOMPARE(rec.values, steps(100, 3100, 100));
    QCOMPARE(rec.paints, rec.values.size());
    QCOMPARE(f.scrolling.contentTop(), -3100.0);
    QCOMPARE(f.form.txt(30)->selectedText(), QStringLiteral("Bolero"));

    // A middle row from the bottom: up until the top edge is in view, no further down.
    rec.values.clear();
    f.scrolling.Txt_GotFocus(13); // row 4, top 2280
    QCOMPARE(rec.values, steps(3000, 2200, -100));
}

void TestScrolling::focusLeftAndRight() {
    Fixture f(QSize(300, 703)); // viewport 3915 wide, horizontal maximum 8895
    QScrollBar* bar = f.c().HScroll;
    QCOMPARE(bar->maximum(), 8895);
    Recorder rec(bar, f.form.window());
    f.scrolling.Txt_GotFocus(3); // right edge at 12690: first v with v + 3915 >= 12690
    QCOMPARE(rec.values, steps(100, 8800, 100));
    rec.values.clear();
    // First column, and wider than the viewport: left until the value is 120 or less, then
    // right again until the panel's right edge (4320) is at the viewport's.
    f.scrolling.Txt_GotFocus(4);
    QCOMPARE(rec.values, steps(8700, 100, -100) + steps(200, 500, 100));
    QCOMPARE(f.scrolling.contentLeft(), -500.0);
}

void TestScrolling::visiblePanelDoesNotMove() {
    Fixture f(QSize(894, 300));
    f.c().VScroll->setValue(1000); // panel 8, 1200 to 1755, lies inside 1000 to 3475
    f.form.txt(8)->setText(QStringLiteral("abc"));
    Recorder rec(f.c().VScroll, f.form.window());
    f.scrolling.Txt_GotFocus(8);
    QVERIFY(rec.values.isEmpty());
    QCOMPARE(rec.paints, 0);
    QCOMPARE(f.form.txt(8)->selectedText(), QStringLiteral("abc"));
}

// Bars that cannot move (no layout yet, a page smaller than the panel): no endless loop.
void TestScrolling::focusWithBarsNotLaidOutEnds() {
    testing::StandInForm form;
    Scrolling scrolling(form.controls());
    form.controls().VScroll->setPageStep(100);
    form.controls().HScroll->setPageStep(100);
    scrolling.Txt_GotFocus(30);
    QCOMPARE(form.controls().VScroll->value(), 0);
    scrolling.Txt_GotFocus(0);
    scrolling.Txt_GotFocus(31);
}

QTEST_MAIN(TestScrolling)
#include "tst_scrolling.moc"
