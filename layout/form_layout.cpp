#include "layout/form_layout.h"

#include "layout/twips.h"

namespace layout {
namespace {

int twipsOf(int pixels) {
    return toTwips(pixels);
}

void setWidth(QWidget* w, double twips) {
    if (w)
        w->resize(toPixels(twips), w->height());
}

void setLeft(QWidget* w, double twips) {
    if (w)
        w->move(toPixels(twips), w->y());
}

void setTop(QWidget* w, double twips) {
    if (w)
        w->move(w->x(), toPixels(twips));
}

void setSize(QWidget* w, double width, double height) {
    if (w)
        w->resize(toPixels(width), toPixels(height));
}

void applyBar(QScrollBar* bar, const ScrollBarGeometry& g, bool vertical) {
    if (!bar)
        return;
    if (vertical)
        bar->setGeometry(toPixels(g.position), bar->y(), bar->width(), toPixels(g.length));
    else
        bar->setGeometry(bar->x(), toPixels(g.position), toPixels(g.length), bar->height());
    bar->setPageStep(g.pageStep);
    bar->setMaximum(g.maximum);
}

} // namespace

LayoutInput measure(const FormControls& c) {
    LayoutInput in;
    in.minimised = c.form->isMinimized();
    const QSize outer = c.form->frameGeometry().size();
    in.outerWidth = twipsOf(outer.width());
    in.outerHeight = twipsOf(outer.height());
    if (c.LblTitre)
        in.lblTitreWidth = twipsOf(c.LblTitre->width());
    if (c.LblIndics)
        in.lblIndicsWidth = twipsOf(c.LblIndics->width());
    if (c.ZoneP1) {
        in.zoneP1Left = twipsOf(c.ZoneP1->x());
        in.zoneP1Top = twipsOf(c.ZoneP1->y());
    }
    if (c.Txt[1])
        in.txtLeft = twipsOf(c.Txt[1]->x());
    return in;
}

void applyLayout(const FormControls& c, const LayoutResult& r) {
    // Scrolling reads these exact sizes, also from inside the bars' clamping below.
    if (c.lastLayout)
        *c.lastLayout = r;

    setWidth(c.ZoneT0, r.zoneT0Width);
    setWidth(c.ZoneT2, r.zoneT2Width);
    setLeft(c.LblTitre, r.lblTitreLeft);
    setLeft(c.LblIndics, r.lblIndicsLeft);
    setLeft(c.ZoneT3, r.zoneT3Left);
    setSize(c.ZoneP1, r.zoneP1Width, r.zoneP1Height);

    for (int i = 1; i <= kQuestions; ++i) {
        const PanelGeometry& p = r.panel[i];
        if (c.Shape[i])
            placeTwips(c.Shape[i], p.left, p.top, p.width, p.height);
        if (QWidget* t = c.Txt[i])
            t->setGeometry(t->x(), toPixels(p.txtTop), toPixels(p.txtWidth), t->height());
        if (QWidget* ret = c.Retour[i])
            ret->move(toPixels(p.retourLeft), toPixels(p.retourTop));
        setTop(c.No[i], p.noTop);
        setTop(c.Cmd[i], p.cmdTop);
        setTop(c.Cmd[i + kQuestions], p.cmdTop);
    }

    setSize(c.ZoneP2, r.zoneP2Width, r.zoneP2Height);
    applyBar(c.VScroll, r.vScroll, true);
    applyBar(c.HScroll, r.hScroll, false);
}

void Form_Resize(const FormControls& c) {
    if (!c.form)
        return;
    if (const auto r = computeLayout(measure(c)))
        applyLayout(c, *r);
}

std::optional<LayoutResult> lastLayout(const FormControls& c) {
    return c.lastLayout ? *c.lastLayout : std::nullopt;
}

} // namespace layout
