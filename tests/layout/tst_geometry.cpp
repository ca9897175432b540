// The window's geometry as a pure function of its size.
#include "layout/geometry.h"

#include <QTest>

#include <climits>

using layout::computeLayout;
using layout::LayoutInput;
using layout::LayoutResult;

namespace {

LayoutResult layoutFor(int outerWidth, int outerHeight) {
    LayoutInput in;
    in.outerWidth = outerWidth;
    in.outerHeight = outerHeight;
    const auto r = computeLayout(in);
    if (!r)
        qFatal("no layout for a window that is not minimised");
    return *r;
}

} // namespace

class TestGeometry : public QObject {
    Q_OBJECT
private slots:
    void workedExample();
    void minimisedChangesNothing();
    void answerBoxFollowsViewportWidth_data();
    void answerBoxFollowsViewportWidth();
    void panelHeightFollowsViewportHeight_data();
    void panelHeightFollowsViewportHeight();
    void narrowWindow_data();
    void narrowWindow();
    void lowWindow_data();
    void lowWindow();
    void labelLeftRoundsDown_data();
    void labelLeftRoundsDown();
    void gridRowByRow();
    void halfTwipAnswerBox();
    void largeScreenBeyondSixteenBits();
    void absurdSizesStayInRange();
};

void TestGeometry::workedExample() {
    const LayoutResult r = layoutFor(13410, 10545);
    QCOMPARE(r.zoneT0Width, 13080);
    QCOMPARE(r.zoneT2Width, 8985);
    QCOMPARE(r.lblTitreLeft, 1110);
    QCOMPARE(r.lblIndicsLeft, 1905);
    QCOMPARE(r.zoneT3Left, 11025);
    QCOMPARE(r.zoneP1Width, 12825);
    QCOMPARE(r.zoneP1Height, 8520);
    QCOMPARE(r.tw, 2115);
    QCOMPARE(r.ph, 840);
    for (int i = 1; i <= 30; ++i) {
        const auto& p = r.panel[i];
        QCOMPARE(p.width, 4200);
        QCOMPARE(p.height, 840);
        QCOMPARE(p.left, (std::array{120, 4305, 8490})[(i - 1) % 3]);
        QCOMPARE(p.top, 120 + 825 * ((i - 1) / 3));
        QCOMPARE(p.txtWidth, 2115);
        QCOMPARE(p.txtTop, 277.5);
        QCOMPARE(p.retourLeft, 960 + 2115 + 60);
        QCOMPARE(p.retourTop, 292.5);
        QCOMPARE(p.noTop, 307.5);
        QCOMPARE(p.cmdTop, 277.5);
    }
    QCOMPARE(r.panel[30].left, 8490);
    QCOMPARE(r.panel[30].top, 7545);
    // 12810 by 8505 of panels, raised to the viewport.
    QCOMPARE(r.zoneP2Width, 12825);
    QCOMPARE(r.zoneP2Height, 8520);
    QCOMPARE(r.vScroll.position, 12945);
    QCOMPARE(r.vScroll.length, 8520);
    QCOMPARE(r.vScroll.pageStep, 8520);
    QCOMPARE(r.vScroll.maximum, 0);
    QCOMPARE(r.hScroll.position, 9810);
    QCOMPARE(r.hScroll.length, 12825);
    QCOMPARE(r.hScroll.pageStep, 12825);
    QCOMPARE(r.hScroll.maximum, 0);
    // The bar's right edge meets the header's.
    QCOMPARE(r.vScroll.position + 255, 120 + r.zoneT0Width);
}

void TestGeometry::minimisedChangesNothing() {
    LayoutInput in;
    in.minimised = true;
    QVERIFY(!computeLayout(in).has_value());
}

// The viewport is the outer width less 585.
void TestGeometry::answerBoxFollowsViewportWidth_data() {
    QTest::addColumn<int>("viewportWidth");
    QTest::addColumn<int>("tw");
    QTest::newRow("empty") << 0 << 2115;
    QTest::newRow("half design") << 6400 << 2115;
    QTest::newRow("design") << 12825 << 2115;
    QTest::newRow("one short of a step") << 12869 << 2115;
    QTest::newRow("one step") << 12870 << 2130;
    QTest::newRow("two steps") << 12915 << 2145;
}

void TestGeometry::answerBoxFollowsViewportWidth() {
    QFETCH(int, viewportWidth);
    QFETCH(int, tw);
    const LayoutResult r = layoutFor(viewportWidth + 585, 10545);
    QCOMPARE(r.zoneP1Width, viewportWidth);
    QCOMPARE(r.tw, tw);
    QCOMPARE(r.panel[3].width, tw + 2085);
    QCOMPARE(r.panel[3].left, 2 * (tw + 2070) + 120);
    QCOMPARE(r.panel[3].retourLeft, 960 + tw + 60);
    QCOMPARE(r.hScroll.maximum, std::max(3 * tw + 6465 - viewportWidth, 0));
}

// The viewport is the outer height less 2025.
void TestGeometry::panelHeightFollowsViewportHeight_data() {
    QTest::addColumn<int>("viewportHeight");
    QTest::addColumn<int>("ph");
    QTest::newRow("small") << 3000 << 555;
    QTest::newRow("just below") << 5669 << 555;
    QTest::newRow("threshold") << 5670 << 555;
    QTest::newRow("one short of a step") << 5819 << 555;
    QTest::newRow("one step") << 5820 << 570;
    QTest::newRow("design") << 8520 << 840;
}

void TestGeometry::panelHeightFollowsViewportHeight() {
    QFETCH(int, viewportHeight);
    QFETCH(int, ph);
    const LayoutResult r = layoutFor(13410, viewportHeight + 2025);
    QCOMPARE(r.zoneP1Height, viewportHeight);
    QCOMPARE(r.ph, ph);
    QCOMPARE(r.panel[30].top, 9 * (ph - 15) + 120);
    QCOMPARE(r.vScroll.maximum, std::max(10 * ph + 105 - viewportHeight, 0));
}

void TestGeometry::narrowWindow_data() {
    QTest::addColumn<int>("outerWidth");
    QTest::newRow("330") << 330;
    QTest::newRow("15") << 15;
    QTest::newRow("0") << 0;
}

void TestGeometry::narrowWindow() {
    QFETCH(int, outerWidth);
    const LayoutResult r = layoutFor(outerWidth, 10545);
    QCOMPARE(r.zoneT0Width, 0);
    QCOMPARE(r.zoneT2Width, 0);
    QCOMPARE(r.zoneP1Width, 0);
    QCOMPARE(r.zoneT3Left, -2055);
    QCOMPARE(r.panel[1].width, 4200);
    QCOMPARE(r.zoneP2Width, 12810);
    QCOMPARE(r.hScroll.maximum, 12810);
    QCOMPARE(r.hScroll.pageStep, 0);
    QCOMPARE(r.vScroll.position, 120);
}

void TestGeometry::lowWindow_data() {
    QTest::addColumn<int>("outerHeight");
    QTest::addColumn<int>("viewportHeight");
    QTest::newRow("at the limit") << 2025 << 0;
    QTest::newRow("no height") << 0 << 0;
    QTest::newRow("one twip above") << 2026 << 1;
}

void TestGeometry::lowWindow() {
    QFETCH(int, outerHeight);
    QFETCH(int, viewportHeight);
    const LayoutResult r = layoutFor(13410, outerHeight);
    QCOMPARE(r.zoneP1Height, viewportHeight);
    QCOMPARE(r.ph, 555);
    QCOMPARE(r.zoneP2Height, 5655);
    QCOMPARE(r.vScroll.maximum, 5655 - viewportHeight);
    QCOMPARE(r.vScroll.pageStep, viewportHeight);
    QCOMPARE(r.hScroll.position, 1290 + viewportHeight);
}

void TestGeometry::labelLeftRoundsDown_data() {
    QTest::addColumn<int>("titleWidth");
    QTest::addColumn<int>("left");
    QTest::newRow("difference -1") << 8986 << -1;
    QTest::newRow("difference -3") << 8988 << -2;
    QTest::newRow("difference +1") << 8984 << 0;
    QTest::newRow("fits exactly") << 8985 << 0;
}

void TestGeometry::labelLeftRoundsDown() {
    QFETCH(int, titleWidth);
    QFETCH(int, left);
    LayoutInput in;
    in.lblTitreWidth = titleWidth;
    in.lblIndicsWidth = titleWidth;
    const auto r = computeLayout(in);
    QVERIFY(r);
    QCOMPARE(r->zoneT2Width, 8985);
    QCOMPARE(r->lblTitreLeft, left);
    QCOMPARE(r->lblIndicsLeft, left);
}

void TestGeometry::gridRowByRow() {
    const LayoutResult r = layoutFor(13410, 10545);
    for (int i : {28, 29, 30})
        QCOMPARE(r.panel[i].top, r.panel[28].top);
    QVERIFY(r.panel[27].top < r.panel[28].top);
    QCOMPARE(r.panel[28].left, r.panel[1].left);
    QCOMPARE(r.panel[30].left, r.panel[3].left);
    QVERIFY(r.panel[29].left < r.panel[30].left);
}

// A panel height of 570 centres the 285-twip box on a half twip.
void TestGeometry::halfTwipAnswerBox() {
    const LayoutResult r = layoutFor(13410, 5820 + 2025);
    QCOMPARE(r.ph, 570);
    QCOMPARE(r.panel[7].txtTop, 142.5);
    QCOMPARE(r.panel[7].retourTop, 157.5);
    QCOMPARE(r.panel[7].noTop, 172.5);
}

// Twips sizes that 16-bit values could not hold, laid out by the same rules.
void TestGeometry::largeScreenBeyondSixteenBits() {
    const LayoutResult r = layoutFor(3840 * 15, 2160 * 15);
    QCOMPARE(r.zoneT0Width, 57270);
    QCOMPARE(r.zoneT2Width, 53175);
    QCOMPARE(r.zoneT3Left, 55215);
    QCOMPARE(r.zoneP1Width, 57015);
    QCOMPARE(r.zoneP1Height, 30375);
    QCOMPARE(r.tw, 16845);
    QCOMPARE(r.ph, 3015);
    QCOMPARE(r.panel[30].left, 37950);
    QCOMPARE(r.panel[30].top, 27120);
    QCOMPARE(r.zoneP2Width, 57015);
    QCOMPARE(r.zoneP2Height, 30375);
    QCOMPARE(r.vScroll.position, 57135);
    QCOMPARE(r.hScroll.pageStep, 57015);
    QCOMPARE(r.vScroll.maximum, 0);
    QCOMPARE(r.hScroll.maximum, 0);

    // 2560 pixels wide and a low window: content past 32767 twips wider than nothing.
    const LayoutResult wide = layoutFor(2560 * 15, 3000);
    QCOMPARE(wide.zoneP1Width, 37815);
    QCOMPARE(wide.tw, 15 * ((37815 - 6480) / 45));
    QCOMPARE(wide.hScroll.maximum, 0);
    QCOMPARE(wide.vScroll.maximum, 5655 - 975);
}

void TestGeometry::absurdSizesStayInRange() {
    for (int size : {INT_MAX, INT_MIN, -100000}) {
        LayoutInput in;
        in.outerWidth = in.outerHeight = size;
        in.lblTitreWidth = INT_MIN;
        in.lblIndicsWidth = INT_MAX;
        in.zoneP1Left = in.zoneP1Top = in.txtLeft = size;
        const auto r = computeLayout(in);
        QVERIFY(r);
        QVERIFY(r->zoneP2Width >= r->zoneP1Width);
        QVERIFY(r->zoneP2Height >= r->zoneP1Height);
        QVERIFY(r->vScroll.maximum >= 0);
        QVERIFY(r->hScroll.maximum >= 0);
    }
}

QTEST_APPLESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
