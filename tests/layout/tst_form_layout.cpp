// Form_Resize applied to a window of plain widgets.
#include "fixtures/stand_in_form.h"
#include "layout/form_layout.h"
#include "layout/scrolling.h"
#include "layout/twips.h"

#include <QTest>

using namespace layout;

namespace {

// Every geometry the layout may touch, to see that nothing moved.
QList<QRect> snapshot(const FormControls& c) {
    QList<QRect> g;
    for (QWidget* w : {c.ZoneT0, c.ZoneT2, c.LblTitre, c.LblIndics, c.ZoneT3, c.ZoneP1, c.ZoneP2,
                       static_cast<QWidget*>(c.VScroll), static_cast<QWidget*>(c.HScroll)})
        g << w->geometry();
    for (int i = 1; i <= 30; ++i)
        for (QWidget* w : {c.Shape[i], c.No[i], c.Txt[i], c.Retour[i], c.Cmd[i], c.Cmd[i + 30]})
            g << w->geometry();
    return g;
}

} // namespace

class TestFormLayout : public QObject {
    Q_OBJECT
private slots:
    void controlsStandWhereTheGeometrySays_data();
    void controlsStandWhereTheGeometrySays();
    void minimisedWindowChangesNothing();
    void lowerMaximumMovesTheContent();
    void valueSurvivesAResizeThatKeepsIt();
};

void TestFormLayout::controlsStandWhereTheGeometrySays_data() {
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("design") << QSize(894, 703);
    QTest::newRow("larger") << QSize(1280, 1000);
    QTest::newRow("short") << QSize(900, 300);
    QTest::newRow("tiny") << QSize(20, 100);
    QTest::newRow("2560 wide") << QSize(2560, 1400);
}

void TestFormLayout::controlsStandWhereTheGeometrySays() {
    QFETCH(QSize, pixels);
    testing::StandInForm f;
    const FormControls& c = f.controls();
    f.window()->resize(pixels);
    Form_Resize(c);

    LayoutInput in;
    in.outerWidth = pixels.width() * 15;
    in.outerHeight = pixels.height() * 15;
    in.lblTitreWidth = c.LblTitre->width() * 15;
    in.lblIndicsWidth = c.LblIndics->width() * 15;
    const LayoutResult r = *computeLayout(in);

    QCOMPARE(c.ZoneT0->geometry(), QRect(8, 8, toPixels(r.zoneT0Width), 73));
    QCOMPARE(c.ZoneT2->geometry(), QRect(136, 0, toPixels(r.zoneT2Width), 73));
    QCOMPARE(c.LblTitre->x(), toPixels(r.lblTitreLeft));
    QCOMPARE(c.LblIndics->x(), toPixels(r.lblIndicsLeft));
    QCOMPARE(c.ZoneT3->pos(), QPoint(toPixels(r.zoneT3Left), -1));
    QCOMPARE(c.ZoneP1->geometry(), QRect(8, 86, toPixels(r.zoneP1Width), toPixels(r.zoneP1Height)));
    QCOMPARE(c.ZoneP2->size(), QSize(toPixels(r.zoneP2Width), toPixels(r.zoneP2Height)));
    for (int i = 1; i <= 30; ++i) {
        const PanelGeometry& p = r.panel[i];
        QCOMPARE(c.Shape[i]->geometry(), rectFromTwips(p.left, p.top, p.width, p.height));
        QCOMPARE(c.Txt[i]->geometry(), QRect(64, toPixels(p.txtTop), toPixels(p.txtWidth), 19));
        QCOMPARE(c.Retour[i]->pos(), QPoint(toPixels(p.retourLeft), toPixels(p.retourTop)));
        QCOMPARE(c.No[i]->pos(), QPoint(6, toPixels(p.noTop)));
        QCOMPARE(c.Cmd[i]->pos(), QPoint(26, toPixels(p.cmdTop)));
        QCOMPARE(c.Cmd[i + 30]->pos(), QPoint(45, toPixels(p.cmdTop)));
    }
    QCOMPARE(c.VScroll->geometry(),
             QRect(toPixels(r.vScroll.position), 86, 17, toPixels(r.vScroll.length)));
    QCOMPARE(c.HScroll->geometry(),
             QRect(8, toPixels(r.hScroll.position), toPixels(r.hScroll.length), 17));
    QCOMPARE(c.VScroll->maximum(), r.vScroll.maximum);
    QCOMPARE(c.VScroll->pageStep(), r.vScroll.pageStep);
    QCOMPARE(c.HScroll->maximum(), r.hScroll.maximum);
    QCOMPARE(c.HScroll->pageStep(), r.hScroll.pageStep);
    QCOMPARE(c.VScroll->minimum(), 0);
    QCOMPARE(c.VScroll->singleStep(), 15);

    const auto kept = lastLayout(c);
    QVERIFY(kept);
    QCOMPARE(kept->zoneP2Height, r.zoneP2Height);
    QCOMPARE(kept->panel[30].top, r.panel[30].top);
}

void TestFormLayout::minimisedWindowChangesNothing() {
    testing::StandInForm f;
    const FormControls& c = f.controls();
    f.window()->resize(600, 400);
    Form_Resize(c);
    const QList<QRect> before = snapshot(c);
    const int max = c.VScroll->maximum();

    f.window()->setWindowState(Qt::WindowMinimized);
    f.window()->resize(1400, 1000);
    Form_Resize(c);
    QCOMPARE(snapshot(c), before);
    QCOMPARE(c.VScroll->maximum(), max);
}

void TestFormLayout::lowerMaximumMovesTheContent() {
    testing::StandInForm f;
    const FormControls& c = f.controls();
    Scrolling scrolling(c);
    f.window()->resize(894, 300); // viewport 2475 high: maximum 3180
    Form_Resize(c);
    QCOMPARE(c.VScroll->maximum(), 3180);
    c.VScroll->setValue(3000);
    QCOMPARE(scrolling.contentTop(), -3000.0);

    QList<int> values;
    connect(c.VScroll, &QScrollBar::valueChanged, this, [&](int v) { values << v; });
    f.window()->resize(894, 400); // viewport 3975 high: maximum 1680
    Form_Resize(c);
    QCOMPARE(c.VScroll->maximum(), 1680);
    QCOMPARE(values, QList<int>{1680});
    QCOMPARE(scrolling.contentTop(), -1680.0);
    QCOMPARE(c.ZoneP2->y(), -112);

    f.window()->resize(894, 703); // everything fits: back to the top
    Form_Resize(c);
    QCOMPARE(c.VScroll->value(), 0);
    QCOMPARE(scrolling.contentTop(), 0.0);
    QCOMPARE(c.ZoneP2->y(), 0);
}

void TestFormLayout::valueSurvivesAResizeThatKeepsIt() {
    testing::StandInForm f;
    const FormControls& c = f.controls();
    Scrolling scrolling(c);
    f.window()->resize(894, 400);
    Form_Resize(c);
    c.VScroll->setValue(1200);
    f.window()->resize(700, 300); // larger maximum
    Form_Resize(c);
    QCOMPARE(c.VScroll->value(), 1200);
    QCOMPARE(scrolling.contentTop(), -1200.0);
    QCOMPARE(c.ZoneP2->y(), -80);
}

QTEST_MAIN(TestFormLayout)
#include "tst_form_layout.moc"
