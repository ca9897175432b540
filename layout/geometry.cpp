#include "layout/geometry.h"

#include <algorithm>

namespace layout {
namespace {

// Largest widget extent (QWIDGETSIZE_MAX pixels) in twips: every sum and product below stays
// well inside 32 bits from inputs of that size.
constexpr int kMaxTwips = ((1 << 24) - 1) * 15;

int clampInput(int v) {
    return std::clamp(v, -kMaxTwips, kMaxTwips);
}

// Division rounding towards minus infinity.
int floorDiv(int a, int b) {
    int q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

std::optional<LayoutResult> computeLayout(const LayoutInput& raw) {
    if (raw.minimised)
        return std::nullopt;
    const int w = clampInput(raw.outerWidth);
    const int h = clampInput(raw.outerHeight);
    const int titreW = clampInput(raw.lblTitreWidth);
    const int indicsW = clampInput(raw.lblIndicsWidth);
    const int p1Left = clampInput(raw.zoneP1Left);
    const int p1Top = clampInput(raw.zoneP1Top);
    const int txtLeft = clampInput(raw.txtLeft);

    LayoutResult r;
    r.zoneT0Width = w > 330 ? w - 330 : 0;
    r.zoneT2Width = r.zoneT0Width > 4095 ? r.zoneT0Width - 4095 : 0;
    r.lblTitreLeft = floorDiv(r.zoneT2Width - titreW, 2);
    r.lblIndicsLeft = floorDiv(r.zoneT2Width - indicsW, 2);
    r.zoneT3Left = r.zoneT0Width - 2055;
    r.zoneP1Width = r.zoneT0Width > 255 ? r.zoneT0Width - 255 : 0;
    r.zoneP1Height = p1Top + 735 < h ? h - p1Top - 735 : 0;

    // 15 * floor(((P1w - 270) / 3 + 15 - 2085) / 15) and 15 * floor(((P1h - 270) / 10 + 15) / 15),
    // each brought to one exact integer division.
    r.tw = std::max(15 * floorDiv(r.zoneP1Width - 270 - 6210, 45), 2115);
    r.ph = std::max(15 * floorDiv(r.zoneP1Height - 270 + 150, 150), 555);

    for (int i = 1; i <= kQuestions; ++i) {
        PanelGeometry& p = r.panel[i];
        p.width = r.tw + 2085;
        p.left = (p.width - 15) * ((i - 1) % 3) + 120;
        p.txtWidth = r.tw;
        p.retourLeft = txtLeft + p.txtWidth + 60;
        p.height = r.ph;
        p.top = (i - 1) / 3 * (p.height - 15) + 120;
        p.txtTop = (p.height - 285) / 2.0;
        p.retourTop = p.txtTop + 15;
        p.noTop = p.txtTop + 30;
        p.cmdTop = p.txtTop;
    }

    const PanelGeometry& last = r.panel[kQuestions];
    r.zoneP2Width = std::max(last.width + last.left + 120, r.zoneP1Width);
    r.zoneP2Height = std::max(last.height + last.top + 120, r.zoneP1Height);

    // All of these are whole twips already, so the toolkit's rounding to integers has no work.
    r.vScroll = {r.zoneP1Width + p1Left, r.zoneP1Height, r.zoneP1Height,
                 r.zoneP2Height - r.zoneP1Height};
    r.hScroll = {r.zoneP1Height + p1Top, r.zoneP1Width, r.zoneP1Width,
                 r.zoneP2Width - r.zoneP1Width};
    return r;
}

} // namespace layout
